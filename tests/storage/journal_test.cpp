#include "core/diagnostic_log.h"
#include "storage/journal.h"
#include "storage/json_write.h"
#include "storage/timestamp.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>

namespace zelmar {
namespace {

using testing::readFile;
using testing::TempDir;
using testing::writeFile;

constexpr double k20240501 = 1714542312.0;

JournalRecord record(double t, std::string x, std::optional<double> v, std::uint8_t f = 2, std::string u = "V")
{
    return JournalRecord { t, f, 1, std::move(x), v, std::move(u) };
}

std::string canonical(const JournalRecord& r, int offset = 8 * 3600)
{
    std::string line;
    EXPECT_TRUE(appendCanonicalLine(line, r, offset));
    return line;
}

TEST(CanonicalLine, LayoutByteForByte)
{
    EXPECT_EQ(canonical(record(k20240501, "12.345", 12.345)),
        "{\"t\":\"2024-05-01T13:45:12+08:00\",\"f\":2,\"r\":1,\"x\":\"12.345\",\"v\":12.345,\"u\":\"V\"}\n");
    EXPECT_EQ(canonical(record(k20240501 + 0.9, "OL", std::nullopt, 6, "M\u03A9")),
        "{\"t\":\"2024-05-01T13:45:12+08:00\",\"f\":6,\"r\":1,\"x\":\"OL\",\"u\":\"M\u03A9\"}\n");
    JournalRecord negative = record(k20240501, "-1", -1.0, 255);
    negative.r = -3;
    EXPECT_EQ(canonical(negative, 0),
        "{\"t\":\"2024-05-01T05:45:12+00:00\",\"f\":255,\"r\":-3,\"x\":\"-1\",\"v\":-1.0,\"u\":\"V\"}\n");
    // A non-finite value is left out, like an absent one.
    EXPECT_EQ(canonical(record(k20240501, "x", NAN)), canonical(record(k20240501, "x", std::nullopt)));
    EXPECT_EQ(canonical(record(k20240501, "x", INFINITY)), canonical(record(k20240501, "x", std::nullopt)));
}

TEST(CanonicalLine, EscapingTable)
{
    std::string out;
    appendJsonString(out,
        std::string("a\"b\\c\td\x01"
                    "e/\x7F\b\f\n\r\x1F",
            16)
            + "電");
    EXPECT_EQ(out, "\"a\\\"b\\\\c\\td\\u0001e/\x7F\\b\\f\\n\\r\\u001f電\"");
}

TEST(CanonicalLine, NumbersReadBackExactly)
{
    const auto text = [](double v) {
        std::string s;
        appendJsonNumber(s, v);
        return s;
    };
    EXPECT_EQ(text(5.0), "5.0");
    EXPECT_EQ(text(0.0), "0.0");
    EXPECT_EQ(text(-0.052), "-0.052");
    EXPECT_EQ(text(12.345), "12.345");
    EXPECT_EQ(text(100000.0), "100000.0");
    EXPECT_EQ(text(0.0001), "0.0001");
    EXPECT_EQ(text(0.00001), "1e-05");
    EXPECT_EQ(text(1.5e20), "1.5e+20");
    EXPECT_EQ(text(1e16), "1e+16");
    EXPECT_EQ(text(1234567890123456.0), "1234567890123456.0");
    EXPECT_EQ(text(0.1 + 0.2), "0.30000000000000004");
    for (double v : { 1.0 / 3, 6.02214076e23, 1.7976931348623157e308, 5e-324, -123.456e-7 }) {
        const auto line = canonical(record(0, "v", v));
        const auto parsed = parseJournalLineFast(std::string_view(line).substr(0, line.size() - 1));
        ASSERT_TRUE(parsed) << line;
        EXPECT_EQ(parsed->v, v) << line;
    }
}

TEST(ParseLine, AcceptsTheGeneralShapes)
{
    const auto parse = [](std::string_view s) { return parseJournalLine(s); };
    const auto base = parse(R"({"t":"2024-05-01T13:45:12+08:00","f":2,"r":1,"x":"12.345","v":12.345,"u":"V"})");
    ASSERT_TRUE(base);
    EXPECT_EQ(*base, record(k20240501, "12.345", 12.345));

    const auto nullV = parse(R"({"t":"2024-05-01T13:45:12+08:00","f":2,"r":1,"x":"OL","v":null,"u":"V"})");
    ASSERT_TRUE(nullV);
    EXPECT_FALSE(nullV->v);
    EXPECT_TRUE(parse(R"({"t":"2024-05-01T13:45:12+08:00","f":2,"r":1,"x":"OL","u":"V"})"));
    EXPECT_TRUE(parse(R"({"u":"V","x":"a","r":1,"f":2,"t":"2024-05-01T05:45:12Z","extra":[1,2]})"));
    EXPECT_TRUE(parse(R"( { "t" : "2024-05-01T05:45:12.125Z", "f":2, "r":-1, "x":"a\"b", "u":"\u00b0C" } )"));
    EXPECT_EQ(parse(R"({"t":"2024-05-01T05:45:12Z","f":2,"r":1,"x":"a\u0001","u":""})")->x, "a\x01");
    EXPECT_EQ(parse(R"({"t":"2024-05-01T00:15:12-05:30","f":2,"r":1,"x":"","u":""})")->t, k20240501);

    EXPECT_FALSE(parse(R"({"t":"2024-05-01T13:45:12+08:00","f":256,"r":1,"x":"","u":""})"));
    EXPECT_FALSE(parse(R"({"t":"2024-05-01T13:45:12+08:00","f":-1,"r":1,"x":"","u":""})"));
    EXPECT_FALSE(parse(R"({"t":"2024-05-01 13:45:12+08:00","f":2,"r":1,"x":"","u":""})"));
    EXPECT_FALSE(parse(R"({"t":"2024-05-01T13:45:12+08:00","f":2.5,"r":1,"x":"","u":""})"));
    EXPECT_FALSE(parse(R"({"t":"2024-05-01T13:45:12+08:00","f":2,"r":1,"x":"","u":"","v":"1"})"));
    EXPECT_FALSE(parse(R"({"t":"2024-05-01T13:45:12+08:00","f":2,"r":1,"x":""})"));
    EXPECT_FALSE(parse(R"([1,2])"));
    EXPECT_FALSE(parse(R"({"t":"2024-05-01T13:45:12+08:00","f":2,"r":1,"x":"","u":"")"));
    // The fast parser takes only the canonical shape.
    EXPECT_FALSE(parseJournalLineFast(R"({"t":"2024-05-01T13:45:12+08:00","f":2,"r":1,"x":"","v":null,"u":""})"));
    EXPECT_FALSE(parseJournalLineFast(R"({"t":"2024-05-01T13:45:12+08:00", "f":2,"r":1,"x":"","u":""})"));
    EXPECT_FALSE(parseJournalLineFast(R"({"t":"2024-05-01T13:45:12+08:00","f":2,"f":2,"r":1,"x":"","u":""})"));
}

const std::string L1 = R"({"t":"2024-05-01T13:45:12+08:00","f":2,"r":1,"x":"1","v":1.0,"u":"V"})"
                       "\n";
const std::string L2 = R"({"t":"2024-05-01T13:45:13+08:00","f":2,"r":1,"x":"2","v":2.0,"u":"V"})"
                       "\n";
const std::string L3 = R"({"t":"2024-05-01T13:45:14+08:00","f":2,"r":1,"x":"3","v":3.0,"u":"V"})"
                       "\n";
const std::string Bad = R"({"t":"2024-05-01T13:45:14+08:00","f":256,"r":1,"x":"3","u":"V"})"
                        "\n";

TEST(Replay, DamageKeepsWhatCameBefore)
{
    auto r = JournalReplayer::replayBytes("");
    EXPECT_TRUE(r.records.empty());
    EXPECT_EQ(r.droppedLineCount, 0);

    r = JournalReplayer::replayBytes(L1 + L2 + L3.substr(0, 20));
    EXPECT_EQ(r.records.size(), 2u);
    EXPECT_EQ(r.droppedLineCount, 1);
    EXPECT_EQ(r.keptLength, L1.size() + L2.size());

    r = JournalReplayer::replayBytes(L1 + L2 + Bad + L3 + L1);
    EXPECT_EQ(r.records.size(), 2u);
    EXPECT_EQ(r.droppedLineCount, 3);

    r = JournalReplayer::replayBytes(L1 + "\n\n" + L2 + "\n");
    EXPECT_EQ(r.records.size(), 2u);
    EXPECT_EQ(r.droppedLineCount, 0);
    EXPECT_EQ(r.keptLength, L1.size() + 2 + L2.size());

    r = JournalReplayer::replayBytes(L1 + Bad + "\n\n");
    EXPECT_EQ(r.droppedLineCount, 3); // blank lines after damage count

    r = JournalReplayer::replayBytes(L1 + "   ");
    EXPECT_EQ(r.droppedLineCount, 1); // trailing bytes without LF, even spaces

    // CR is not special: it stays in the line, where JSON takes it as space.
    r = JournalReplayer::replayBytes(L1.substr(0, L1.size() - 1) + "\r\n");
    EXPECT_EQ(r.records.size(), 1u);
    EXPECT_EQ(r.droppedLineCount, 0);
}

TEST(JournalWriter, CreateTrimsADamagedTail)
{
    TempDir dir;
    const auto path = dir / "temp" / "current.jsonl";
    writeFile(path, L1 + L2 + Bad + L3 + L1);
    {
        auto writer = JournalWriter::create(path);
        ASSERT_TRUE(writer);
        EXPECT_EQ(readFile(path), L1 + L2);
    }

    writeFile(path, L1 + L2 + "{\"t\":");
    ASSERT_TRUE(JournalWriter::create(path));
    EXPECT_EQ(readFile(path), L1 + L2);

    writeFile(path, Bad + L1);
    ASSERT_TRUE(JournalWriter::create(path));
    EXPECT_EQ(readFile(path), "");

    writeFile(path, L1 + "\n\n");
    ASSERT_TRUE(JournalWriter::create(path));
    EXPECT_EQ(readFile(path), L1);
    EXPECT_FALSE(std::filesystem::exists(dir / "temp" / "current.jsonl.tmp"));
}

TEST(JournalWriter, AppendRewriteDiscard)
{
    TempDir dir;
    const auto path = dir / "a" / "b" / "current.jsonl";
    auto writer = JournalWriter::create(path);
    ASSERT_TRUE(writer);
    EXPECT_TRUE(std::filesystem::exists(path));
    ASSERT_TRUE(writer->append(record(k20240501, "1.5", 1.5)));
    ASSERT_TRUE(writer->append(record(k20240501 + 1, "OL", std::nullopt)));
    EXPECT_FALSE(writer->append(record(k20240501, "x", NAN)));
    auto replayed = JournalReplayer::replay(path);
    ASSERT_EQ(replayed.records.size(), 2u);
    EXPECT_EQ(replayed.records[0].v, 1.5);
    EXPECT_FALSE(replayed.records[1].v);
    EXPECT_FALSE(replayed.wasTruncated);

    const std::vector<JournalRecord> three { record(1, "a", 1.0), record(2, "b", 2.0), record(3, "c", 3.0) };
    ASSERT_TRUE(writer->rewrite(three));
    EXPECT_TRUE(writer->isOpen());
    ASSERT_TRUE(writer->append(record(4, "d", 4.0)));
    EXPECT_EQ(JournalReplayer::replay(path).records.size(), 4u);
    EXPECT_EQ(readFile(path),
        JournalWriter::encode(three, LocalTimeZone::currentOffsetSeconds()).value()
            + JournalWriter::encode(std::vector { record(4, "d", 4.0) }, LocalTimeZone::currentOffsetSeconds())
                  .value());

    ASSERT_TRUE(writer->rewrite({}));
    EXPECT_EQ(readFile(path), "");
    EXPECT_TRUE(writer->isOpen());
    ASSERT_TRUE(writer->close());
    ASSERT_TRUE(writer->append(record(5, "e", 5.0))); // append reopens
    ASSERT_TRUE(writer->discard());
    EXPECT_FALSE(std::filesystem::exists(path));
    ASSERT_TRUE(writer->append(record(6, "f", 6.0))); // and recreates
    EXPECT_EQ(JournalReplayer::replay(path).records.size(), 1u);
}

TEST(JournalWriter, OutOfRangeTimestampsFallBackToTheGeneralEncoder)
{
    const std::vector<JournalRecord> records { record(0, "a", 1.0), record(253402300800.0, "far", 2.0) };
    const std::string bytes = JournalWriter::encode(records, 0).value();
    EXPECT_NE(bytes.find("\"10000-01-01T00:00:00+00:00\""), std::string::npos);
    const auto replayed = JournalReplayer::replayBytes(bytes);
    // What the writer writes, the reader reads back: nothing is lost.
    ASSERT_EQ(replayed.records.size(), 2u);
    EXPECT_EQ(replayed.records[1].t, 253402300800.0);
    EXPECT_EQ(replayed.droppedLineCount, 0);

    // A signed file may carry year 0 at +00:01, which is year -1 in UTC.
    const double yearZero = -62167219200.0 - 60; // 0000-01-01T00:00:00+00:01
    const std::vector<JournalRecord> early { record(1, "a", 1.0), record(yearZero, "b", 2.0), record(2, "c", 3.0) };
    const std::string earlyBytes = JournalWriter::encode(early, 0).value();
    EXPECT_NE(earlyBytes.find("\"-0001-12-31T23:59:00+00:00\""), std::string::npos);
    const auto back = JournalReplayer::replayBytes(earlyBytes);
    ASSERT_EQ(back.records.size(), 3u);
    EXPECT_EQ(back.records[1].t, yearZero);
    EXPECT_EQ(back.records[2].x, "c");
}

TEST(JournalReplayer, HasContent)
{
    TempDir dir;
    EXPECT_FALSE(JournalReplayer::hasContent(dir / "missing"));
    writeFile(dir / "empty", "");
    EXPECT_FALSE(JournalReplayer::hasContent(dir / "empty"));
    writeFile(dir / "one", "x");
    EXPECT_TRUE(JournalReplayer::hasContent(dir / "one"));
    EXPECT_TRUE(JournalReplayer::replay(dir / "missing").records.empty());
}

TEST(JournalReplayer, NoLimitOfItsOwn)
{
    std::vector<JournalRecord> many;
    for (int i = 0; i < 600'001; ++i)
        many.push_back(record(k20240501 + i, "1.000", 1.0));
    const auto replayed = JournalReplayer::replayBytes(JournalWriter::encode(many, 3600).value());
    EXPECT_EQ(replayed.records.size(), 600'001u);
    EXPECT_EQ(replayed.records.back().t, k20240501 + 600'000);
}

TEST(JournalReplayer, AFileOfBlankLinesIsHarmless)
{
    // One record slot per newline would ask for gigabytes here.
    const std::string blank(50'000'000, '\n');
    const auto replayed = JournalReplayer::replayBytes(blank + L1);
    EXPECT_EQ(replayed.records.size(), 1u);
    EXPECT_EQ(replayed.droppedLineCount, 0);
    EXPECT_LT(replayed.records.capacity(), 2'000'000u);
}

TEST(JournalWriter, ARecordThatCannotBeWrittenFailsTheRewriteAndKeepsTheJournal)
{
    TempDir dir;
    const auto path = dir / "temp" / "current.jsonl";
    auto writer = JournalWriter::create(path);
    ASSERT_TRUE(writer);
    ASSERT_TRUE(writer->append(record(k20240501, "a", 1.0)));
    const std::string before = readFile(path);

    for (const JournalRecord& bad :
        { record(NAN, "nan time", 1.0), record(INFINITY, "inf time", 1.0), record(k20240501, "inf value", INFINITY) }) {
        const std::vector<JournalRecord> records { record(k20240501, "kept", 2.0), bad };
        const auto rewritten = writer->rewrite(records);
        ASSERT_FALSE(rewritten) << bad.x;
        EXPECT_EQ(rewritten.error().kind, StorageError::Kind::encoding);
        EXPECT_EQ(readFile(path), before);
        EXPECT_FALSE(JournalWriter::encode(records, 0));
    }
    // The same deep inside a rewrite long enough to be written in pieces:
    // nothing is left beside the journal either.
    std::vector<JournalRecord> many;
    for (int i = 0; i < 40'000; ++i)
        many.push_back(record(k20240501 + i, std::to_string(i % 1000), i % 1000));
    many[33'333].t = NAN;
    const auto rewritten = writer->rewrite(many);
    ASSERT_FALSE(rewritten);
    EXPECT_EQ(rewritten.error().detail, "第 33334 筆記錄的 t 不是有限數值");
    EXPECT_EQ(readFile(path), before);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(path.parent_path()), {}), 1);

    // The writer still appends to the journal it had.
    ASSERT_TRUE(writer->append(record(k20240501 + 1, "b", 2.0)));
    EXPECT_EQ(JournalReplayer::replay(path).records.size(), 2u);

    // Whole, the long rewrite is what the encoder makes of it.
    many[33'333].t = k20240501;
    ASSERT_TRUE(writer->rewrite(many));
    EXPECT_EQ(readFile(path), JournalWriter::encode(many, LocalTimeZone::currentOffsetSeconds()).value());
    ASSERT_TRUE(writer->append(record(k20240501 + 1, "c", 3.0)));
    EXPECT_EQ(JournalReplayer::replay(path).records.size(), many.size() + 1);
}

// The same record, bit for bit (a value of -0.0 differs from 0.0 here).
bool sameRecord(const JournalRecord& a, const JournalRecord& b)
{
    const auto bits = [](double d) {
        std::uint64_t u;
        std::memcpy(&u, &d, sizeof u);
        return u;
    };
    return bits(a.t) == bits(b.t) && a.f == b.f && a.r == b.r && a.x == b.x && a.u == b.u
        && a.v.has_value() == b.v.has_value() && (!a.v || bits(*a.v) == bits(*b.v));
}

TEST(ParseLine, TheFastParserNeverAcceptsWhatTheGeneralDecoderReadsOtherwise)
{
    const auto check = [](std::string_view line) {
        const auto fast = parseJournalLineFast(line);
        const auto general = parseJournalLineGeneral(line);
        if (fast) {
            ASSERT_TRUE(general) << "fast parser accepted what the decoder refuses: " << line;
            ASSERT_TRUE(sameRecord(*fast, *general)) << "the parsers read different records: " << line;
        }
        ASSERT_EQ(parseJournalLine(line).has_value(), general.has_value()) << line;
    };
    // The faults found by hand first.
    const std::string head = R"({"t":"2024-05-01T13:45:12+08:00",)";
    for (const std::string& line : { head + R"("f":007,"r":1,"x":"","u":""})", head + R"("f":2,"r":01,"x":"","u":""})",
             head + R"("f":2,"r":1,"x":"","v":--5,"u":""})", head + R"("f":2,"r":1,"x":"","v":+5,"u":""})",
             head + R"("f":2,"r":1,"x":"","v":.5,"u":""})", head + R"("f":2,"r":1,"x":"","v":5.,"u":""})",
             head + R"("f":2,"r":1,"x":"","v":-0,"u":""})", head + R"("f":2,"r":1,"x":"","v":1e999,"u":""})",
             head + R"("f":2,"r":1,"x":"","v":5x,"u":""})", head + "\"f\":2,\"r\":1,\"x\":\"a\x01b\",\"u\":\"\"}",
             head + "\"f\":2,\"r\":1,\"x\":\"\xC3\",\"u\":\"\"}",
             head + "\"f\":2,\"r\":1,\"x\":\"\xED\xA0\x80\",\"u\":\"\"}",
             head + "\"f\":2,\"r\":1,\"x\":\"\xC0\xAF\",\"u\":\"\"}",
             head + "\"f\":2,\"r\":1,\"x\":\"\xF4\x90\x80\x80\",\"u\":\"\"}" })
        check(line);
    EXPECT_FALSE(parseJournalLine(head + R"("f":007,"r":1,"x":"","u":""})"));
    EXPECT_FALSE(parseJournalLine(head + R"("f":2,"r":1,"x":"","v":--5,"u":""})"));
    EXPECT_FALSE(parseJournalLine(head + "\"f\":2,\"r\":1,\"x\":\"a\x01b\",\"u\":\"\"}"));
    EXPECT_FALSE(parseJournalLine(head + "\"f\":2,\"r\":1,\"x\":\"\xC3\",\"u\":\"\"}"));
    // A line is one JSON object and nothing else, not even after a NUL.
    const std::string valid = head + R"("f":2,"r":1,"x":"1.0","v":1,"u":"V"})";
    ASSERT_TRUE(parseJournalLine(valid));
    EXPECT_FALSE(parseJournalLine(valid + std::string("\0this is not JSON {{{", 22)));
    EXPECT_FALSE(parseJournalLineGeneral(valid + std::string("\0", 1)));
    EXPECT_EQ(JournalReplayer::replayBytes(valid + "\n" + valid + std::string("\0x", 2) + "\n").records.size(), 1u);

    // Then random canonical lines, mutated byte by byte.
    std::mt19937_64 random(20261206);
    const char* pieces[] = { "-", "0", "00", "1", "9", ".", "e", "E", "+", "\"", "\\", "\x01", "\x7F", "\xC3", "\xA9",
        "\xE2\x84\xA6", "\xED\xA0\x80", "\xF0\x9F\x98\x80", "\xF8", " ", ",", "}", "{", ":", "null", "1e400", "1e-400",
        "-0", "18446744073709551616", "\\u0041" };
    const char* texts[] = { "12.345", "OL", "-0.052", "\u00b0C", "M\u03A9", "", "a\"b", "1.000" };
    for (int i = 0; i < 60'000; ++i) {
        JournalRecord r { 1714542312.0 + static_cast<double>(random() % 100'000'000),
            static_cast<std::uint8_t>(random()), static_cast<std::int64_t>(random() % 21) - 10, texts[random() % 8],
            std::nullopt, texts[random() % 8] };
        if (random() % 4 != 0)
            r.v = std::ldexp(static_cast<double>(static_cast<std::int64_t>(random() >> 12) - (1ll << 51)),
                static_cast<int>(random() % 80) - 60);
        std::string line;
        ASSERT_TRUE(appendCanonicalLine(line, r, 8 * 3600));
        line.pop_back();
        const auto parsed = parseJournalLine(line);
        ASSERT_TRUE(parsed && sameRecord(*parsed, r)) << line;
        for (int m = 1 + static_cast<int>(random() % 3); m > 0; --m) {
            const std::size_t at = random() % (line.size() + 1);
            switch (random() % 3) {
            case 0:
                line.insert(at, pieces[random() % std::size(pieces)]);
                break;
            case 1:
                if (at < line.size())
                    line.erase(at, 1 + random() % 3);
                break;
            default:
                if (at < line.size())
                    line[at] = static_cast<char>(random());
            }
        }
        check(line);
        if (::testing::Test::HasFatalFailure())
            return;
    }
}

TEST(JournalWriter, WhatADamagedLineCutsOffIsKeptAside)
{
    TempDir dir;
    const auto path = dir / "temp" / "current.jsonl";
    // A damaged first line would cut away every good line after it.
    writeFile(path, "X" + L1 + L2 + L3);
    ASSERT_TRUE(JournalWriter::create(path));
    EXPECT_EQ(readFile(path), "");
    auto aside = path;
    aside += ".damaged";
    EXPECT_EQ(readFile(aside), "X" + L1 + L2 + L3);
    // A later cut is added to what was kept.
    writeFile(path, L1 + Bad + L2);
    ASSERT_TRUE(JournalWriter::create(path));
    EXPECT_EQ(readFile(path), L1);
    EXPECT_EQ(readFile(aside), "X" + L1 + L2 + L3 + Bad + L2);
    // A torn last line alone (the usual crash) is dropped with no file aside.
    writeFile(dir / "b" / "current.jsonl", L1 + L2.substr(0, 20));
    ASSERT_TRUE(JournalWriter::create(dir / "b" / "current.jsonl"));
    EXPECT_EQ(readFile(dir / "b" / "current.jsonl"), L1);
    EXPECT_FALSE(std::filesystem::exists(dir / "b" / "current.jsonl.damaged"));
}

} // namespace
} // namespace zelmar
