/* The program's user-visible texts, in UTF-8, shared by the resource script of
   the Windows build and the code of both builds. Plain #defines so that the
   resource compiler reads this file too. */
#pragma once

#define TEXT_APP_TITLE "Velumin"
#define TEXT_TRAY_TIP "VELUMIN"

#define TEXT_MENU_SETTINGS "設定(&S)"
#define TEXT_MENU_KEYBOARD_LED "キーボードLED使用"
#define TEXT_MENU_ABOUT "このプログラムについて(&A)"
#define TEXT_MENU_EXIT "終了(&X)"

#define TEXT_EXIT_QUESTION "終了しますか？"
/* The question box's buttons in the Qt build, as a Japanese desktop labels
   them; Windows shows its own. */
#define TEXT_YES "はい(&Y)"
#define TEXT_NO "いいえ(&N)"

#define TEXT_SETTINGS_TITLE "設定"
#define TEXT_SETTINGS_CANCEL "ｷｬﾝｾﾙ"
#define TEXT_SETTINGS_OK "OK"
#define TEXT_KEYBOARD_GROUP "キーボードLED設定"
#define TEXT_RECEIVE_CHECK "受信時にLEDを光らせる"
#define TEXT_SEND_CHECK "送信時にLEDを光らせる"
#define TEXT_LED_TYPE "LED種類"
#define TEXT_SERIAL_GROUP "シリアルポートLED設定"
#define TEXT_PORT_NUMBER "ポート番号"
#define TEXT_USE_SERIAL "シリアルポートLEDを使う"
#define TEXT_INVERT "LEDの点滅パターンを反転"
#define TEXT_KEY_CAPS "CapsLock"
#define TEXT_KEY_SCROLL "ScrollLock"
#define TEXT_KEY_NUM "NumLock"

#define TEXT_ABOUT_TITLE "このプログラムについて"
#define TEXT_ABOUT_OK "OK"
#define TEXT_ABOUT_WEB_BUTTON "作者Webページ"
#define TEXT_VERSION "1.00"
#define TEXT_AUTHORSHIP "(C) The Velumin developers"
/* The project's host; documentation-reserved until it has a site of its own. */
#define TEXT_SITE_HOST "velumin.example"
#define TEXT_SITE_URL "http://" TEXT_SITE_HOST "/hw/"
#define TEXT_PAGE_URL "http://" TEXT_SITE_HOST "/hw/software/velumin/index.html"
#define TEXT_WEB_QUESTION_BEFORE "ヘルプを表示するため\r\n"
#define TEXT_WEB_QUESTION_AFTER "\r\nへ接続しますか？"
