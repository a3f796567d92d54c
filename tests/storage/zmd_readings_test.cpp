// Files read straight into the compact store: the same records, refusals
// and signature answers as the journal-form reader, whatever the lines look
// like, and large files whose signature is checked on a second thread.

#include "storage/journal.h"
#include "storage/signed_envelope.h"
#include "storage/timestamp.h"
#include "storage/zmd_file.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

namespace zelmar {
namespace {

const ZmdSignatureService& service()
{
    return ZmdSignatureService::shared();
}

// A record line of any accepted or refused shape: canonical, spaced,
// reordered, escaped, with odd numbers, units, offsets and texts.
std::string randomLine(std::mt19937& random, int index)
{
    const auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
    char t[64];
    const int day = 1 + index / 5000 % 28;
    const int offsets[] = { 8, 0, -5, 13 };
    const int offset = offsets[pick(0, 20) == 0 ? pick(0, 3) : 0];
    std::snprintf(t, sizeof t, "2024-05-%02dT%02d:%02d:%02d%c%02d:00", day, index / 3600 % 24, index / 60 % 60,
        index % 60, offset < 0 ? '-' : '+', offset < 0 ? -offset : offset);
    std::string time = t;
    switch (pick(0, 40)) {
    case 0:
        time = "2024-05-01T13:45:12Z";
        break;
    case 1:
        time = "2024-05-01T13:45:12.250Z";
        break;
    case 2:
        time = "10000-01-01T00:00:00+00:00";
        break;
    case 3:
        time = "2024-05-01T24:00:00+08:00"; // refused
        break;
    case 4:
        time[10] = 't';
        break;
    }
    const std::vector<std::string> texts { "12.345", " -0.001 ", "OL", "", "  .OL  ", "a\\\"b", "\\u00b5V",
        "µ12", "123456789012345678901234", "1e5", "\\t5", "\x01" };
    const std::vector<std::string> numbers { "12.345", "-0", "0", "1e308", "1e999", "-1.5E-3", "12345678901234567890",
        "null", "\"5\"" };
    const std::vector<std::string> units { "V", "", "MΩ", "\\u00b0C", "odd unit" };
    const std::vector<std::string> ranges { "1", "0", "-3", "127", "128", "-129", "99999999999", "9223372036854775807",
        "1.0", "-0" };
    std::vector<std::string> members { "\"t\":\"" + time + "\"", "\"f\":" + std::to_string(pick(0, 20) == 0 ? 256 : pick(0, 255)),
        "\"r\":" + ranges[pick(0, 9) < 7 ? 0 : pick(0, ranges.size() - 1)],
        "\"x\":\"" + texts[pick(0, 3) ? 0 : pick(0, texts.size() - 1)] + "\"",
        "\"u\":\"" + units[pick(0, 3) ? 0 : pick(0, units.size() - 1)] + "\"" };
    if (pick(0, 4) != 0)
        members.insert(members.begin() + 4, "\"v\":" + numbers[pick(0, 3) ? 0 : pick(0, numbers.size() - 1)]);
    if (pick(0, 30) == 0)
        std::shuffle(members.begin(), members.end(), random);
    std::string line = "{";
    const bool spaced = pick(0, 30) == 0;
    for (std::size_t i = 0; i < members.size(); ++i)
        line += (i == 0 ? "" : (spaced ? " , " : ",")) + members[i];
    return line + (pick(0, 60) == 0 ? ",\"extra\":[1,{\"a\":null}]}" : "}");
}

std::string sealedFile(const std::vector<std::string>& lines, std::int64_t declared = -1)
{
    std::string payload(SignedJSONEnvelope::sealedPrefix);
    payload += "{\"format\":\"ZELMAR-ZMD\",\"formatVersion\":1,\n\"model\":\"DMM-5174K\",\n\"software\":\"test\",\n"
               "\"savedAt\":\"2024-05-01T13:45:12+08:00\",\n\"recordCount\":"
        + std::to_string(declared < 0 ? static_cast<std::int64_t>(lines.size()) : declared)
        + ",\n\"deletedCount\":3,\n\"records\":[";
    for (std::size_t i = 0; i < lines.size(); ++i)
        payload += (i == 0 ? "\n" : ",\n") + lines[i];
    payload += "\n]}";
    return *SignedJSONEnvelope::sealInPlace(std::move(payload), service(), ZmdFile::largestFile);
}

// True when the file opened.
bool expectSameReading(const std::string& file)
{
    const auto general = ZmdFile::decode(file, "DMM-5174K", service());
    const auto compact = ZmdFile::decodeReadings(file, "DMM-5174K", service());
    EXPECT_EQ(general.has_value(), compact.has_value());
    if (!general || !compact) {
        EXPECT_EQ(general.error(), compact.error());
        return false;
    }
    EXPECT_EQ(compact->model, general->model);
    EXPECT_EQ(compact->software, general->software);
    EXPECT_EQ(compact->savedAt, general->savedAt);
    EXPECT_EQ(compact->deletedCount, general->deletedCount);
    EXPECT_EQ(compact->records.size(), general->records.size());
    for (std::size_t i = 0; i < general->records.size() && i < compact->records.size(); ++i) {
        const JournalRecord& r = general->records[i];
        const Reading expected(r.t, r.f, CompactReadings::clampedRange(r.r), r.x, DmmFlags {}, 0);
        if (compact->records[i] != expected) {
            ADD_FAILURE() << "record " << i << " differs: " << r.x;
            break;
        }
    }
    return true;
}

TEST(ZmdReadings, ReadsWhatTheJournalFormReads)
{
    int opened = 0;
    for (unsigned seed = 0; seed < 40; ++seed) {
        std::mt19937 random(seed);
        std::vector<std::string> lines;
        const int count = seed % 8 == 0 ? 0 : (seed % 5 == 0 ? 20'000 : 200); // some large: a second thread checks
        // Most files hold only lines a decoder takes, so that they open and
        // every record is compared; the rest are refused alike.
        const bool acceptedOnly = seed % 4 != 3;
        for (int i = 0; i < count; ++i) {
            std::string line = randomLine(random, i);
            const auto record = parseJournalLineGeneral(line);
            if (!acceptedOnly || (record && (!record->v || std::isfinite(*record->v))))
                lines.push_back(std::move(line));
        }
        SCOPED_TRACE(seed);
        opened += expectSameReading(sealedFile(lines)) ? 1 : 0;
    }
    EXPECT_GE(opened, 25);
    // One plain file of each size, read and refused alike.
    std::mt19937 random(1);
    std::vector<std::string> plain;
    for (int i = 0; i < 20'000; ++i)
        plain.push_back("{\"t\":\"2024-05-01T13:45:12+08:00\",\"f\":2,\"r\":1,\"x\":\"12.345\",\"v\":12.345,\"u\":\"V\"}");
    expectSameReading(sealedFile(plain));
    expectSameReading(sealedFile(plain, 19'999));
}

// A journal replayed into the stored form holds what replaying it into
// records and making readings of them gives, up to the same damaged line.
TEST(JournalReplayer, TheStoredFormReadsWhatTheJournalFormReads)
{
    testing::TempDir dir;
    for (unsigned seed = 0; seed < 12; ++seed) {
        std::mt19937 random(seed + 100);
        std::string journal;
        const int count = seed % 4 == 0 ? 12'000 : 300;
        for (int i = 0; i < count; ++i) {
            std::string line = randomLine(random, i);
            const auto record = parseJournalLineGeneral(line);
            // A file mostly of lines a decoder takes, so that records come
            // before the first damaged line (if any).
            if (seed % 3 == 0 || (record && (!record->v || std::isfinite(*record->v))) || i > count - 5)
                journal += line + (random() % 50 == 0 ? "\n\n" : "\n");
        }
        if (seed % 2 == 1)
            journal += "{\"t\":\"2024-05-01T13:45:1"; // cut short by a crash
        const auto path = dir / ("journal-" + std::to_string(seed) + ".jsonl");
        testing::writeFile(path, journal);
        SCOPED_TRACE(seed);
        const auto general = JournalReplayer::replay(path);
        const auto stored = JournalReplayer::replayStored(path);
        EXPECT_EQ(stored.wasTruncated, general.wasTruncated);
        EXPECT_EQ(stored.droppedLineCount, general.droppedLineCount);
        ASSERT_EQ(stored.records.size(), general.records.size());
        for (std::size_t i = 0; i < general.records.size(); ++i) {
            const JournalRecord& r = general.records[i];
            ASSERT_EQ(stored.records[i], Reading(r.t, r.f, CompactReadings::clampedRange(r.r), r.x, DmmFlags {}, 0))
                << "record " << i << ": " << r.x;
        }
    }
    EXPECT_TRUE(JournalReplayer::replayStored(dir / "missing.jsonl").records.empty());
}

TEST(ZmdReadings, TheSignatureDecidesWhateverTheLayout)
{
    std::vector<std::string> lines;
    for (int i = 0; i < 20'000; ++i) // over a mebibyte: checked on the side
        lines.push_back("{\"t\":\"2024-05-01T13:45:12+08:00\",\"f\":2,\"r\":1,\"x\":\"" + std::to_string(i % 1000)
            + "\",\"v\":" + std::to_string(i % 1000) + ",\"u\":\"V\"}");
    const std::string file = sealedFile(lines);
    ASSERT_GT(file.size(), 1u << 20);
    const auto read = [](std::string bytes) { return ZmdFile::decodeReadings(std::move(bytes), "DMM-5174K", service()); };
    ASSERT_TRUE(read(file));
    EXPECT_EQ(read(file)->records.size(), lines.size());

    // One digit changed in the middle.
    std::string altered = file;
    const auto at = altered.find("\"x\":\"500\"", altered.size() / 2);
    ASSERT_NE(at, std::string::npos);
    altered[at + 5] = '6';
    EXPECT_EQ(read(altered).error(), ZmdError::tampered());

    // Layouts the end does not show: the signature member first, and a
    // member after it that holds a "signature" of its own. Each is checked
    // again the plain way, with the same answer.
    const auto envelope = SignedJSONEnvelope::parse(file);
    const std::string payload(envelope->payloadView());
    const std::string signature = file.substr(envelope->layout().signature.begin,
        envelope->layout().signature.end - envelope->layout().signature.begin);
    EXPECT_TRUE(read("{\"signature\":" + signature + ",\n\"payload\":" + payload + "}\n"));
    EXPECT_TRUE(read("{\"payload\":" + payload + ",\"signature\":" + signature + ",\"note\":{\"signature\":{}}}"));
    std::string otherPayload = payload;
    otherPayload[otherPayload.size() / 2] = otherPayload[otherPayload.size() / 2] == '1' ? '2' : '1';
    EXPECT_EQ(read("{\"payload\":" + otherPayload + ",\"signature\":" + signature + ",\"note\":{\"signature\":"
                  + signature + "}}")
                  .error(),
        ZmdError::tampered());
}

// The early answer belongs to the one call that made it, for the layout
// the scan found, and is not sought for a signature member of odd size.
TEST(ZmdReadings, TheEarlyAnswerIsTheCallsOwn)
{
    struct Always final : ZmdVerifier {
        bool answer;
        explicit Always(bool a)
            : answer(a)
        {
        }
        bool verify(std::span<const std::uint8_t>, std::span<const std::uint8_t>, std::string_view) const override
        {
            return answer;
        }
    };
    std::vector<std::string> lines(20'000,
        "{\"t\":\"2024-05-01T13:45:12+08:00\",\"f\":2,\"r\":1,\"x\":\"1.000\",\"v\":1.0,\"u\":\"V\"}");
    const std::string file = sealedFile(lines);
    const Always yes(true), no(false);
    auto result = SignedJSONEnvelope::parseVerifying(file, {}, yes);
    ASSERT_TRUE(result.envelope && result.verified);
    EXPECT_TRUE(*result.verified);
    EXPECT_FALSE(result.envelope->verify(no)); // asked again, another verifier answers for itself

    // A signature member of a kilobyte or more is left to the plain check.
    const auto envelope = SignedJSONEnvelope::parse(file);
    const std::string payload(envelope->payloadView());
    const std::string wide = "{\"payload\":" + payload + ",\"signature\":{\"pad\":\"" + std::string(2000, 'x') + "\"}}";
    result = SignedJSONEnvelope::parseVerifying(wide, {}, yes);
    ASSERT_TRUE(result.envelope);
    EXPECT_FALSE(result.verified.has_value());
    // And so is a document whose end does not show its layout.
    result = SignedJSONEnvelope::parseVerifying(file + "\n{", {}, yes);
    EXPECT_FALSE(result.envelope || result.verified);
}

TEST(ZmdReadings, StoredRecordsSaveAsTheirReadingsWould)
{
    std::mt19937 random(5174);
    const auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
    ZmdReadings readings { "DMM-5174K", "test", 1.7e9, 7, {} };
    ZmdDocument journalForm { "DMM-5174K", "test", 1.7e9, 7, {} };
    const std::vector<std::string> texts { " 12.345", "-0.001", "OL", "", "1234567890123456789012", "µ\"\\", "+5." };
    for (int i = 0; i < 3000; ++i) {
        const Reading r(1.7e9 + i * 37, static_cast<std::uint8_t>(pick(0, 255)), pick(0, 9) ? pick(0, 7) : pick(-500, 500),
            texts[pick(0, texts.size() - 1)], DmmFlags {}, 0);
        readings.records.push_back(r);
        journalForm.records.push_back(JournalRecord::from(r));
    }
    // The same payload bytes as the journal form (the signatures differ).
    const auto compactBytes = ZmdFile::encodeReadings(readings, service());
    const auto journalBytes = ZmdFile::encode(journalForm, service());
    ASSERT_TRUE(compactBytes && journalBytes);
    EXPECT_EQ(SignedJSONEnvelope::parse(*compactBytes)->payloadBytes(),
        SignedJSONEnvelope::parse(*journalBytes)->payloadBytes());
    // And back, record for record.
    testing::TempDir dir;
    ASSERT_TRUE(ZmdFile::saveReadings(readings, dir / "a.zmd", service()));
    const auto opened = ZmdFile::openReadings(dir / "a.zmd", "DMM-5174K", service());
    ASSERT_TRUE(opened);
    EXPECT_EQ(opened->deletedCount, 7);
    ASSERT_EQ(opened->records.size(), readings.records.size());
    for (std::size_t i = 0; i < readings.records.size(); ++i)
        ASSERT_EQ(opened->records[i], readings.records[i]) << i;
    // The journal's bytes likewise.
    EXPECT_EQ(JournalWriter::encodeStored(readings.records, 3600).value(),
        JournalWriter::encode(journalForm.records, 3600).value());
}

TEST(TimestampReader, AnswersAsTheParserDoes)
{
    std::mt19937 random(3);
    const auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
    TimestampReader reader;
    for (int i = 0; i < 20'000; ++i) {
        char text[40];
        std::snprintf(text, sizeof text, "2024-%02d-%02d%c%02d:%02d:%02d%c%02d:%02d", pick(0, 20) ? 2 : pick(0, 13),
            pick(0, 20) ? 28 : pick(0, 32), pick(0, 50) ? 'T' : 't', pick(0, 25), pick(0, 60), pick(0, 61),
            pick(0, 1) ? '+' : '-', pick(0, 10) ? 8 : pick(0, 24), pick(0, 10) ? 0 : pick(0, 60));
        std::string s = text;
        if (pick(0, 100) == 0)
            s = "2024-02-28T10:00:00Z";
        if (pick(0, 100) == 0)
            s[14] = 'x';
        ASSERT_EQ(reader.read(s), parseTimestamp(s)) << s;
    }
}

// A save large enough to be written in many pieces opens as the store it
// came from; one whose signing fails, or whose record deep inside has no
// writable time, leaves the old file as it was and nothing beside it.
TEST(ZmdReadings, ALargeSaveOpensAsItsStoreAndAFailedOneChangesNothing)
{
    ZmdReadings readings { "DMM-5174K", "test", 1.7e9, 2, {} };
    for (int i = 0; i < 120'000; ++i)
        readings.records.appendRecord(1.7e9 + i, static_cast<std::uint8_t>(i % 3 + 1), i % 4,
            i % 101 == 0 ? "OL" : std::to_string(i % 997));
    testing::TempDir dir;
    const auto path = dir / "large.zmd";
    ASSERT_TRUE(ZmdFile::saveReadings(readings, path, service()));
    const auto opened = ZmdFile::openReadings(path, "DMM-5174K", service());
    ASSERT_TRUE(opened);
    ASSERT_EQ(opened->records.size(), readings.records.size());
    for (std::size_t i = 0; i < readings.records.size(); ++i)
        ASSERT_EQ(opened->records[i], readings.records[i]) << i;
    // The same bytes as the document sealed in one piece (but the signature).
    const auto sealed = ZmdFile::encodeReadings(readings, service());
    ASSERT_TRUE(sealed);
    const std::string onDisk = testing::readFile(path);
    EXPECT_EQ(SignedJSONEnvelope::parse(onDisk)->payloadBytes(), SignedJSONEnvelope::parse(*sealed)->payloadBytes());

    struct Refusing final : ZmdSigner {
        std::string keyId() const override { return "ZMD-4"; }
        std::expected<ByteVector, CryptoError> signDigest(std::span<const std::uint8_t, 32>) const override
        {
            return std::unexpected(CryptoError { "sign", 3, 0, std::string("no key") });
        }
    };
    const auto failed = ZmdFile::saveReadings(readings, path, Refusing());
    ASSERT_FALSE(failed);
    EXPECT_TRUE(std::holds_alternative<CryptoError>(failed.error()));
    EXPECT_EQ(testing::readFile(path), onDisk);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), std::filesystem::directory_iterator()), 1);

    ZmdReadings unwritable = readings;
    unwritable.records.clear();
    for (std::size_t i = 0; i < readings.records.size(); ++i)
        unwritable.records.appendRecord(i == 70'000 ? 1e15 : readings.records.record(i).t, 1, 0, "1.0");
    const auto refused = ZmdFile::saveReadings(unwritable, path, service());
    ASSERT_FALSE(refused);
    EXPECT_EQ(describe(refused.error()), "ZmdError.io(記錄時間無法以 ISO-8601 表示)");
    EXPECT_EQ(testing::readFile(path), onDisk);
    // That is said before anything about where the file was to go.
    const auto nowhere = ZmdFile::saveReadings(unwritable, dir / "missing" / "large.zmd", service());
    ASSERT_FALSE(nowhere);
    EXPECT_EQ(describe(nowhere.error()), "ZmdError.io(記錄時間無法以 ISO-8601 表示)");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), std::filesystem::directory_iterator()), 1);

    // Records of the journal's form are written in pieces the same way.
    ZmdDocument journalForm { "DMM-5174K", "test", 1.7e9, 2, {} };
    for (std::size_t i = 0; i < 30'000; ++i)
        journalForm.records.push_back(JournalRecord::from(readings.records[i]));
    ASSERT_TRUE(ZmdFile::save(journalForm, path, service()));
    const auto whole = ZmdFile::encode(journalForm, service());
    ASSERT_TRUE(whole);
    EXPECT_EQ(SignedJSONEnvelope::parse(testing::readFile(path))->payloadBytes(),
        SignedJSONEnvelope::parse(*whole)->payloadBytes());
}

TEST(TimestampWriter, WritesAsTheCanonicalFormatterDoes)
{
    std::mt19937 random(8);
    const auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
    TimestampWriter writer;
    double t = -3.0e5;
    for (int i = 0; i < 20'000; ++i) {
        t += pick(0, 10) ? pick(0, 3) + 0.25 * pick(0, 3) : pick(-100'000, 100'000); // runs of a day, and jumps
        double instant = t;
        if (pick(0, 200) == 0)
            instant = pick(0, 1) ? 1e14 : -253402300800.0 - 1; // outside what the form allows
        const int offset = pick(0, 10) ? 28'800 : 60 * pick(-1441, 1441) + (pick(0, 30) == 0 ? 1 : 0);
        std::string expected = "x", written = "x";
        const bool canonical = appendCanonicalTimestamp(expected, instant, offset);
        ASSERT_EQ(writer.append(written, instant, offset), canonical) << instant << " " << offset;
        ASSERT_EQ(hasCanonicalTimestamp(instant, offset), canonical) << instant << " " << offset;
        ASSERT_EQ(written, expected) << instant << " " << offset;
    }
}

// Tails are formatted once per function, range and text and copied after:
// with far more distinct keys than the writer keeps, colliding ones and
// ones it never keeps (long texts, wide ranges), every line is still the
// one the plain formatter writes.
TEST(StoredLineWriter, WritesWhatThePlainFormatterWrites)
{
    std::mt19937 random(17);
    const auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
    CompactReadings stored;
    for (int i = 0; i < 60'000; ++i) {
        std::string text = std::to_string(pick(-20'000, 20'000) / 1000.0).substr(0, pick(1, 9));
        if (pick(0, 50) == 0)
            text = pick(0, 1) ? "OL" : "a \"quoted\" text longer than eighteen bytes";
        stored.appendRecord(1.7e9 + i * (pick(0, 100) ? 1.0 : 40'000.0), static_cast<std::uint8_t>(pick(0, 40)),
            pick(0, 30) ? pick(0, 7) : pick(-300, 300), text);
    }
    // Keys that differ in one part only: some of them share a slot.
    for (int range = -128; range <= 127; ++range)
        for (const char* text : { "1.000", "OL", "" })
            for (std::uint8_t function : { 2, 3 })
                stored.appendRecord(1.8e9, function, range, text);
    for (const int offset : { 28'800, -18'000, 0 }) {
        StoredLineWriter writer(offset);
        TimestampWriter times;
        std::string lines, expected;
        for (std::size_t i = 0; i < stored.size(); ++i) {
            ASSERT_TRUE(writer.append(lines, stored.record(i)));
            ASSERT_TRUE(appendCanonicalLine(expected, JournalFields::of(stored.record(i)), offset, times));
        }
        // The first line that differs (a diff of megabytes helps nobody).
        const auto [at, _] = std::mismatch(lines.begin(), lines.end(), expected.begin(), expected.end());
        const auto lineStart = [](const std::string& text, std::size_t i) { return text.rfind('\n', i) + 1; };
        const std::size_t i = static_cast<std::size_t>(at - lines.begin());
        EXPECT_EQ(lines.size(), expected.size());
        EXPECT_TRUE(at == lines.end()) << "offset " << offset << ", written: "
                                       << lines.substr(lineStart(lines, i), 120)
                                       << "\nexpected: " << expected.substr(lineStart(expected, i), 120);
    }
}

} // namespace
} // namespace zelmar
