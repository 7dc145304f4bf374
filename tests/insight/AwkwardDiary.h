#pragma once

#include <QList>
#include <QString>

#include <utility>

// A diary of 2023/12 to 2024/03 whose entries are awkward to count: white
// space alone, lone CR and LF beside CR LF, combining marks, half-width
// voiced sound marks, emoji sequences and flags, a 29 February. Its figures,
// worked out by hand, are written beside the tests that use it.
inline QList<std::pair<int, QString>> AwkwardEntries()
{
    return {
        {20231230, QStringLiteral("大晦日の前日")},             // 6
        {20231231, QStringLiteral("  \r\n\u3000\t")},           // white space only: not written
        {20240101, QStringLiteral("元日。\r\n初詣に行った。")}, // 3 + 7
        {20240102, QStringLiteral("cafe\u0301 で ｺｰﾋｰ")},       // 4 + 1 + 1 + 1 + 4
        {20240103,
         QStringLiteral(
             "\U0001F468\u200D\U0001F469\u200D\U0001F467と\U0001F1EF\U0001F1F5\r\n")}, // 3: a
                                                                                       // family,
                                                                                       // と, a flag
        {20240104, QStringLiteral("ｶﾞｷﾞｸﾞ")},                      // 3
        {20240228, QStringLiteral("二十八日")},                    // 4
        {20240229, QStringLiteral("閏日\U0001F44D\U0001F3FD!")},   // 4: a thumb with its skin tone
        {20240301, QStringLiteral("三月\r\r\n\n終")},              // 3
        {20240302, QStringLiteral("ＡＢＣ\u3000ｄｅｆ\u3000ghi")}, // 11, as long as 01/02
    };
}
