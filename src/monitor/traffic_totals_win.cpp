// Interface counters from the IP Helper: one GetIfTable2 read per poll, every row.
#include "monitor/traffic_totals.h"

// The order matters: GetIfTable2 is declared only after winsock2 and ws2ipdef.
#include <winsock2.h>
// clang-format off
#include <ws2ipdef.h>
#include <windows.h>
#include <iphlpapi.h>
// clang-format on

#include <cwchar>
#include <string>

#include "base/utf16_win.h"

namespace {

// Folds case with the system's own rules, not only for ASCII, so that an alias
// and a pattern that differ only in case match whatever the script.
std::wstring UpperCase(std::wstring_view text) {
    std::wstring upper(text);
    if (!upper.empty()) {
        LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, text.data(),
                      static_cast<int>(text.size()), upper.data(), static_cast<int>(upper.size()),
                      nullptr, nullptr, 0);
    }
    return upper;
}

// Whether each row of the table counts, by position, with the LUID and alias it
// was decided on: a poll only compares them, and matches a name again only
// where an interface came, went or was renamed.
class AliasVerdicts {
  public:
    // Forgets every verdict when the patterns are not those they were made for.
    void Use(const InterfaceFilter& filter) {
        if (!(filter == m_filter)) {
            m_filter = filter;
            m_verdicts.clear();
        }
    }

    bool Counts(const MIB_IF_ROW2& row, std::size_t position) {
        if (position >= m_verdicts.size()) {
            m_verdicts.resize(position + 1);  // LUID 0, which no interface has
        }
        Verdict& verdict = m_verdicts[position];
        if (verdict.luid != row.InterfaceLuid.Value ||
            std::wcscmp(verdict.alias.c_str(), row.Alias) != 0) {
            verdict = {row.InterfaceLuid.Value, row.Alias,
                       m_filter.Counts(Utf8FromWide(UpperCase(row.Alias)))};
        }
        return verdict.counts;
    }

  private:
    struct Verdict {
        ULONG64 luid = 0;
        std::wstring alias;
        bool counts = false;
    };

    InterfaceFilter m_filter;
    std::vector<Verdict> m_verdicts;
};

}  // namespace

bool QueryTrafficTotals(const InterfaceFilter& filter, std::uint32_t& received,
                        std::uint32_t& sent) {
    // Kept by each polling thread, so that a poll allocates nothing once the
    // table has been seen.
    thread_local std::vector<InterfaceCounters> rows;
    thread_local AliasVerdicts verdicts;
    rows.clear();
    MIB_IF_TABLE2* table = nullptr;
    if (GetIfTable2(&table) != NO_ERROR || table == nullptr) {
        return SumTrafficTotals(false, rows, received, sent);
    }
    // Every row is looked at: interface indices are sparse, so the table itself
    // is the only complete list of what the machine has.
    const bool everything = filter.CountsEverything();
    if (!everything) {
        verdicts.Use(filter);
    }
    rows.reserve(table->NumEntries);
    for (ULONG i = 0; i < table->NumEntries; ++i) {
        const MIB_IF_ROW2& row = table->Table[i];
        if (everything || verdicts.Counts(row, i)) {
            rows.push_back({row.InOctets, row.OutOctets});
        }
    }
    FreeMibTable(table);
    return SumTrafficTotals(true, rows, received, sent);
}

InterfaceFilter MakeInterfaceFilter(std::string_view patterns) {
    return InterfaceFilter(Utf8FromWide(UpperCase(WideFromUtf8(patterns))));
}
