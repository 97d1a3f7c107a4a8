#include "common/command_line.h"

#include <gtest/gtest.h>

TEST(CommandLine, QuotesArgumentsForTarAndPowerShell) {
    struct Case {
        const wchar_t* text;
        const wchar_t* argument;
        const wchar_t* literal;
    };
    const Case cases[] = {
        {L"C:\\Games\\Vantora Online\\full.zip", L"\"C:\\Games\\Vantora Online\\full.zip\"",
         L"'C:\\Games\\Vantora Online\\full.zip'"},
        {L"say \"hi\"", L"\"say \\\"hi\\\"\"", L"'say \"hi\"'"},
        {L"C:\\Bob's game", L"\"C:\\Bob's game\"", L"'C:\\Bob''s game'"},
        {L"''", L"\"''\"", L"''''''"},
        {L"", L"\"\"", L"''"},
        // A trailing backslash is left as it is.
        {L"C:\\dir\\", L"\"C:\\dir\\\"", L"'C:\\dir\\'"},
        // PowerShell ends a literal at the typographic single quotes too.
        {L"C:\\O\u2019Neil", L"\"C:\\O\u2019Neil\"", L"'C:\\O\u2019\u2019Neil'"},
        {L"\u2018\u201A\u201B'", L"\"\u2018\u201A\u201B'\"",
         L"'\u2018\u2018\u201A\u201A\u201B\u201B'''"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(QuoteArgument(c.text), c.argument) << c.text;
        EXPECT_EQ(QuotePowerShellLiteral(c.text), c.literal) << c.text;
    }
}
