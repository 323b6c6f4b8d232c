// The Settings dialog's exchange and enabling rule, on plain controls.
#include "ui/settings_form.h"

#include <gtest/gtest.h>

#include "fakes/fake_settings_controls.h"
#include "resource.h"

namespace {

TEST(SettingsFormExchange, RoundTripThroughEveryControl) {
    fakes::FakeSettingsControls controls;
    const SettingsForm in{1, 0, 2, 1, 19, 1, 0};
    InitSettingsControls(in, controls);
    EXPECT_EQ(controls.checks[IDC_RECEIVE_CHECK], 1);
    EXPECT_EQ(controls.checks[IDC_SEND_CHECK], 0);
    EXPECT_EQ(controls.selections[IDC_PORT_LIST], 19);
    SettingsForm out;
    ExchangeFromControls(out, controls);
    EXPECT_EQ(out.m_useReceiveLed, 1);
    EXPECT_EQ(out.m_useSendLed, 0);
    EXPECT_EQ(out.m_receiveLedIndex, 2);
    EXPECT_EQ(out.m_sendLedIndex, 1);
    EXPECT_EQ(out.m_serialPortIndex, 19);
    EXPECT_EQ(out.m_useSerialLed, 1);
    EXPECT_EQ(out.m_ledInversion, 0);
}

TEST(SettingsFormExchange, PortOutsideTheListShowsNoneAndGivesMinusOne) {
    for (int index : {-1, 20}) {
        fakes::FakeSettingsControls controls;
        SettingsForm form;
        form.m_serialPortIndex = index;
        InitSettingsControls(form, controls);
        SettingsForm out;
        ExchangeFromControls(out, controls);
        EXPECT_EQ(out.m_serialPortIndex, -1) << "index " << index;
    }
}

TEST(SettingsFormExchange, FlagOtherThanOneShowsOffAndComesBackAsZero) {
    fakes::FakeSettingsControls controls;
    SettingsForm form;
    form.m_useReceiveLed = 2;
    form.m_ledInversion = 5;
    InitSettingsControls(form, controls);
    SettingsForm out;
    ExchangeFromControls(out, controls);
    EXPECT_EQ(out.m_useReceiveLed, 0);
    EXPECT_EQ(out.m_ledInversion, 0);
}

TEST(SettingsFormEnabling, KeyListsFollowTheirBoxesAndKeepTheirSelection) {
    fakes::FakeSettingsControls controls;
    SettingsForm form{0, 1, 1, 2, 0, 0, 0};
    InitSettingsControls(form, controls);
    EXPECT_FALSE(controls.enabled[IDC_RECEIVE_LIST]);
    EXPECT_TRUE(controls.enabled[IDC_SEND_LIST]);
    // The serial controls are not part of the rule.
    EXPECT_FALSE(controls.enabled.contains(IDC_PORT_LIST));
    EXPECT_FALSE(controls.enabled.contains(IDC_INVERSION_CHECK));

    controls.checks[IDC_RECEIVE_CHECK] = 1;
    controls.checks[IDC_SEND_CHECK] = 0;
    UpdateLedTypeLists(controls);
    EXPECT_TRUE(controls.enabled[IDC_RECEIVE_LIST]);
    EXPECT_FALSE(controls.enabled[IDC_SEND_LIST]);

    // A greyed list's selection is stored like an enabled one's.
    SettingsForm out;
    ExchangeFromControls(out, controls);
    EXPECT_EQ(out.m_receiveLedIndex, 1);
    EXPECT_EQ(out.m_sendLedIndex, 2);
}

}  // namespace
