#include "session/record_store.h"

#include "core/diagnostic_log.h"
#include "storage/file_io.h"

#include <algorithm>

namespace zelmar {


RecordStore::RecordStore(int recordLimit, std::filesystem::path journalURL, std::filesystem::path metaURL)
    : recordLimit_(recordLimit)
    , journalURL_(std::move(journalURL))
    , metaURL_(std::move(metaURL))
{
}

std::string RecordStore::metaText(int deletedCount)
{
    return "{\"deletedCount\":" + std::to_string(deletedCount) + "}";
}

void RecordStore::journalFailure(const StorageError& error)
{
    const std::string description = error.text();
    log::write(log::Module::session, "緩衝檔寫入失敗：" + description);
    if (!journalFailed_) {
        journalFailed_ = true;
        if (onJournalFailure_)
            onJournalFailure_(description);
    }
}

bool RecordStore::ensureWriter()
{
    if (writer_)
        return true;
    auto created = JournalWriter::create(journalURL_);
    if (!created) {
        journalFailure(created.error());
        return false;
    }
    writer_.emplace(std::move(*created));
    return true;
}

void RecordStore::writeMeta()
{
    std::error_code ec;
    std::filesystem::create_directories(metaURL_.parent_path(), ec);
    if (auto written = writeFileAtomically(metaURL_, metaText(deletedCount_)); !written)
        journalFailure(written.error());
}

void RecordStore::rewriteJournal()
{
    if (!ensureWriter()) {
        journalIncomplete_ = true;
        return;
    }
    if (auto rewritten = writer_->rewriteStored(records_); !rewritten) {
        journalFailure(rewritten.error());
        journalIncomplete_ = true;
        return;
    }
    journalIncomplete_ = false;
}

std::optional<int> RecordStore::append(const Reading& reading)
{
    if (static_cast<int>(records_.size()) >= recordLimit_)
        return std::nullopt;
    records_.push_back(reading);
    if (journalIncomplete_) {
        // Records went missing from the journal while it failed: write it
        // whole again, so that a crash from now on loses nothing.
        rewriteJournal();
    } else if (!ensureWriter()) {
        journalIncomplete_ = true;
    } else if (auto appended = writer_->append(JournalRecord::from(reading)); !appended) {
        journalFailure(appended.error());
        journalIncomplete_ = true;
    }
    return static_cast<int>(records_.size());
}

int RecordStore::remove(std::span<const int> indexes)
{
    std::vector<bool> marked(records_.size(), false);
    int n = 0;
    for (const int index : indexes) {
        if (index < 0 || static_cast<std::size_t>(index) >= records_.size() || marked[static_cast<std::size_t>(index)])
            continue;
        marked[static_cast<std::size_t>(index)] = true;
        ++n;
    }
    if (n == 0)
        return 0;
    deletedCount_ += n;
    writeMeta();
    records_.removeMarked(marked);
    rewriteJournal();
    return n;
}

int RecordStore::clearAll()
{
    const int n = static_cast<int>(records_.size());
    if (n > 0) {
        deletedCount_ += n;
        writeMeta();
    }
    records_.clear();
    rewriteJournal();
    return n;
}

void RecordStore::replace(std::vector<Reading> records, int deletedCount)
{
    replace(CompactReadings(records), deletedCount);
}

void RecordStore::replace(CompactReadings records, int deletedCount)
{
    const int d = std::max(deletedCount, 0);
    if (d != deletedCount_) {
        deletedCount_ = d;
        writeMeta();
    }
    records_ = std::move(records);
    rewriteJournal();
}

void RecordStore::discardJournal()
{
    std::expected<void, StorageError> result;
    if (writer_) {
        result = writer_->discard();
    } else if (JournalWriter::exists(journalURL_)) {
        result = removeFileIfExists(journalURL_);
    }
    if (!result) {
        // Logged like any journal failure, but the flag stays as it was.
        const bool wasFailed = journalFailed_;
        journalFailure(result.error());
        journalFailed_ = wasFailed;
        return;
    }
    journalFailed_ = false;
    journalIncomplete_ = false;
}

void RecordStore::reset()
{
    records_.clear();
    discardJournal();
    deletedCount_ = 0;
    if (JournalWriter::exists(metaURL_)) {
        if (auto removed = removeFileIfExists(metaURL_); !removed)
            journalFailure(removed.error());
    }
}

void RecordStore::adopt(CompactReadings records, int deletedCount)
{
    records_ = std::move(records);
    deletedCount_ = std::max(deletedCount, 0);
}

void RecordStore::closeJournal()
{
    if (writer_)
        (void)writer_->close();
    writer_.reset();
}

} // namespace zelmar
