#include "results/Escaping.h"

#include "app/TextUtil.h"

#include <gtest/gtest.h>
#include <random>

namespace trawl {
namespace {

// The six replacements one after the other, as the file format defines them.
std::string EscapeStepByStep(std::string text)
{
    text = ReplaceAll(text, "\\", "\\\\");
    text = ReplaceAll(text, "\"", "\\\"");
    text = ReplaceAll(text, "\r\n", "\\n");
    text = ReplaceAll(text, "\r", "\\n");
    text = ReplaceAll(text, "\n", "\\n");
    return ReplaceAll(text, "\f", "\\n");
}

// What a text looks like after a trip through a record line: every kind of line break is CR LF.
std::string WithCrLfBreaks(const std::string& text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            ++i;
        }
        if (c == '\r' || c == '\n' || c == '\f') {
            out += "\r\n";
        } else {
            out += c;
        }
    }
    return out;
}

std::string RandomText(std::mt19937& rng, std::string_view alphabet, std::size_t maxLength)
{
    std::uniform_int_distribution<std::size_t> length(0, maxLength);
    std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
    std::string text(length(rng), ' ');
    for (char& c : text) {
        c = alphabet[pick(rng)];
    }
    return text;
}

const std::string kAwkward = std::string("\\\"\r\n\f, n a") + '\xff' + '\0';

TEST(EscapeField, replaces_backslash_quote_and_every_line_break)
{
    EXPECT_EQ(EscapeField("a\\b\"c\r\nd"), "a\\\\b\\\"c\\nd");
    EXPECT_EQ(EscapeField("1\r2\n3\f4"), "1\\n2\\n3\\n4");
    EXPECT_EQ(EscapeField("\r\r\n\n\r"), "\\n\\n\\n\\n"); // CR, CR LF, LF, CR
    EXPECT_EQ(EscapeField(""), "");
    EXPECT_EQ(EscapeField("plain text, with comma"), "plain text, with comma");
}

TEST(EscapeField, matches_the_replacements_applied_one_after_another)
{
    std::mt19937 rng(7);
    for (int i = 0; i < 5000; ++i) {
        const std::string text = RandomText(rng, kAwkward, 40);
        const std::string escaped = EscapeField(text);
        ASSERT_EQ(escaped, EscapeStepByStep(text)) << testing::PrintToString(text);
        ASSERT_EQ(escaped.find_first_of("\r\n\f"), std::string::npos);
        std::string appended = "prefix";
        AppendEscaped(appended, text);
        ASSERT_EQ(appended, "prefix" + escaped);
    }
}

TEST(EscapeField, long_texts_with_one_escape_at_every_offset_match_the_replacements)
{
    // The scan for bytes to escape steps 16 bytes at a time; put each kind at every offset of a
    // text long enough for several steps, and at the very end.
    for (const std::string special : {"\\", "\"", "\r", "\n", "\f", "\r\n"}) {
        for (std::size_t at = 0; at <= 70; ++at) {
            std::string text(70, 'x');
            text.insert(at, special);
            text[at == 0 ? 69 : 0] = '\xff';
            ASSERT_EQ(EscapeField(text), EscapeStepByStep(text)) << at;
        }
    }
}

TEST(ReadRecordField, splits_quoted_and_unquoted_fields)
{
    const std::string line = R"("2024-03-01","Bike, red","Vancouver"  ,  plain  ,"u")";
    EXPECT_EQ(ReadRecordField(line, 1), "2024-03-01");
    EXPECT_EQ(ReadRecordField(line, 2), "Bike, red");
    EXPECT_EQ(ReadRecordField(line, 3), "Vancouver");
    EXPECT_EQ(ReadRecordField(line, 4), "plain"); // leading spaces skipped, trailing ones dropped
    EXPECT_EQ(ReadRecordField(line, 5), "u");
    EXPECT_EQ(ReadRecordField(line, 6), "");
    EXPECT_EQ(ReadRecordField(line, 0), "");
    EXPECT_EQ(ReadRecordField("", 1), "");
    EXPECT_EQ(ReadRecordField(",,x", 3), "x");
}

TEST(ReadRecordField, ignores_text_between_closing_quote_and_comma)
{
    EXPECT_EQ(ReadRecordField(R"("a"junk,"b")", 1), "a");
    EXPECT_EQ(ReadRecordField(R"("a"junk,"b")", 2), "b");
    EXPECT_EQ(ReadRecordField(R"("a" "x,y",z)", 2), "y\"");
}

TEST(ReadRecordField, escaped_quote_does_not_end_the_field)
{
    const std::string line = R"("He said \"hi\", then left","next")";
    EXPECT_EQ(ReadRecordField(line, 1), "He said \"hi\", then left");
    EXPECT_EQ(ReadRecordField(line, 2), "next");
}

TEST(ReadRecordField, unterminated_quote_runs_to_the_end_of_the_line)
{
    EXPECT_EQ(ReadRecordField(R"("a","b,c)", 2), "b,c");
    EXPECT_EQ(ReadRecordField(R"("a","b,c)", 3), "");
}

TEST(ReadRecordField, every_line_break_comes_back_as_crlf)
{
    const std::string text = "one\rtwo\nthree\ffour\r\nfive";
    const std::string line = "\"" + EscapeField(text) + "\"";
    EXPECT_EQ(ReadRecordField(line, 1), "one\r\ntwo\r\nthree\r\nfour\r\nfive");
}

// Texts that the escapes alone cannot tell apart when they are undone one kind at a time.
TEST(ReadRecordField, awkward_texts_come_back_as_written)
{
    for (const std::string& text : {std::string("C:\\"), std::string("C:\\new folder"), std::string("\\\\n\\\""),
                                    std::string("caf\xe9 na\xefve \xff"), std::string("ends with \\\\")}) {
        const std::string line = "\"" + EscapeField(text) + "\",\"after\"";
        EXPECT_EQ(ReadRecordField(line, 1), text) << line;
        EXPECT_EQ(ReadRecordField(line, 2), "after") << line;
    }
}

TEST(ReadRecordField, random_texts_round_trip_through_a_line_of_six_fields)
{
    std::mt19937 rng(11);
    for (int i = 0; i < 3000; ++i) {
        std::string texts[6];
        std::string line;
        for (int f = 0; f < 6; ++f) {
            texts[f] = RandomText(rng, kAwkward, 12);
            line += (f ? ",\"" : "\"") + EscapeField(texts[f]) + "\"";
        }
        for (int f = 0; f < 6; ++f) {
            ASSERT_EQ(ReadRecordField(line, f + 1), WithCrLfBreaks(texts[f])) << testing::PrintToString(line);
        }
    }
}

std::string FieldsOf(const ResultRecord& r)
{
    return testing::PrintToString(std::vector<std::string>{r.Date, r.Title, r.City, r.Section, r.URI, r.FullText});
}

void ExpectSameAsFieldByField(const std::string& line)
{
    ResultRecord record;
    record.NewMark = "kept";
    record.FullText = "stale text from an earlier line";
    ReadRecordFields(line, record);
    ResultRecord expected{ReadRecordField(line, 1),
                          ReadRecordField(line, 2),
                          ReadRecordField(line, 3),
                          ReadRecordField(line, 4),
                          ReadRecordField(line, 5),
                          ReadRecordField(line, 6),
                          "kept"};
    ASSERT_EQ(record, expected) << "line " << testing::PrintToString(line) << "\n got " << FieldsOf(record)
                                << "\n want " << FieldsOf(expected);
}

TEST(ReadRecordFields, agrees_with_reading_each_field_on_random_lines)
{
    std::mt19937 rng(2024);
    const std::string alphabet = std::string("\"\"\\\\,, nab") + '\xff' + '\0' + '\r';
    for (int i = 0; i < 20000; ++i) {
        ExpectSameAsFieldByField(RandomText(rng, alphabet, 48));
    }
}

TEST(ReadRecordFields, agrees_with_reading_each_field_on_adversarial_lines)
{
    const std::vector<std::string> lines = {
        "",
        "\"",
        "\"\"",
        "\\",
        "\\\"",
        "\"\\\"",
        "\"\\\\\"",
        "\"a\\\\\",\"b\"",
        ",,,,,,,,",
        "   ,   ,  \"x\"  ,y  ",
        "\"a\"b\"c\",d",
        "a\"b,c\"d",
        "\"2024-01-01\",\"t\",\"c\",\"s\",\"u\",\"f\",\"extra\",\"more\"",
        "\"2024-01-01\",\"t\",\"c\"",
        "\"x\\n\\\\n\\\\\\n\",\\n,\\",
        std::string("\"\xff\\\"\xff\",\xff\xff ,\"") + '\0' + "\"",
        "\"unterminated, with, commas",
        "     ",
        "\"a\"   ,   \"b\"   ",
        "\\\\\\\\\\\"\\\"\\\\",
    };
    for (const auto& line : lines) {
        ExpectSameAsFieldByField(line);
    }
}

TEST(ReadRecordFields, agrees_on_very_long_fields)
{
    std::mt19937 rng(5);
    const std::string body = RandomText(rng, kAwkward, 200000);
    const std::string escaped = EscapeField(body);
    ExpectSameAsFieldByField("\"2024-02-02\",\"" + escaped + "\",\"c\",\"s\",\"u\",\"" + escaped + "\"");
    ExpectSameAsFieldByField("\"2024-02-02\",\"" + escaped); // cut off inside the long field
    ExpectSameAsFieldByField(std::string(300000, ' ') + "x" + std::string(300000, ' ') + ",y");
    ResultRecord record;
    ReadRecordFields("\"d\",\"" + escaped + "\"", record);
    EXPECT_EQ(record.Title, WithCrLfBreaks(body));
}

} // namespace
} // namespace trawl
