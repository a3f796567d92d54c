// The commands that move the working set between memory and files: new,
// open (menu, launch path, forwarded), save, save as, export, delete rows
// and clear all, with the one unsaved-changes question they share. A
// command that replaces the working set first takes over the journal (a
// restore there counts as unsaved records) and settles what is unsaved.

#include "app/app_controller.h"

#include "app/launch_arguments.h"
#include "core/diagnostic_log.h"
#include "core/text_encoding.h"
#include "security/signature_service.h"
#include "session/session_time_format.h"
#include "storage/csv_exporter.h"
#include "storage/file_io.h"
#include "storage/zmd_file.h"

#include <cstdio>

namespace zelmar {

namespace {

constexpr std::string_view modelName = "DMM-5174K";

void logApp(std::string_view line)
{
    log::write(log::Module::app, line);
}

std::string folderOf(const std::string& path)
{
    const auto slash = path.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

std::string lastComponent(const std::string& path)
{
    const auto slash = path.find_last_of("\\/");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::filesystem::path utf8Path(const std::string& path)
{
    return std::filesystem::path(std::u8string(path.begin(), path.end()));
}

} // namespace

bool AppController::settleUnsaved()
{
    if (!unsaved_)
        return true;
    switch (askUnsaved()) {
    case SaveChoice::save:
        return save();
    case SaveChoice::dontSave:
        return true;
    case SaveChoice::cancel:
        break;
    }
    return false;
}

void AppController::rememberDirectory(const std::string& path)
{
    const std::string folder = folderOf(path);
    if (folder.empty() || folder == settings_.lastSaveDirectory)
        return;
    settings_.lastSaveDirectory = folder;
    persistSettings();
}

void AppController::newFile()
{
    if (closing_ || readyToReplaceWorkingSet(true, "新檔案") != Readiness::ready)
        return;
    if ((session_->recordCount() > 0 || unsaved_) && !confirm(L10nKey::dialogNewFileBody, L10nKey::dialogNewFileTitle))
        return;
    session_->newDataSet();
    view_->resetRecords();
    currentFilePath_.reset();
    unsaved_ = false;
    updateTitle();
    refreshChannelText();
    logApp("新檔案：工作集、緩衝檔與刪除筆數已清除");
}

void AppController::openFromMenu()
{
    if (closing_ || session_->isRecording() || readyToReplaceWorkingSet(true, "開啟") != Readiness::ready)
        return;
    std::optional<std::string> path;
    {
        const Question question(*this);
        path = view_->askOpenPath(settings_.lastSaveDirectory);
    }
    // The dialog's message loop may have started a recording.
    if (!path || closing_ || session_->isRecording())
        return;
    (void)openDocument(*path, true);
}

bool AppController::openDocument(const std::string& path, bool interactive)
{
    std::expected<ZmdReadings, ZmdError> document = std::unexpected(ZmdError {});
    {
        const BusyIndicator busy(*view_);
        document = ZmdFile::openReadings(utf8Path(path), modelName, ZmdSignatureService::shared());
    }
    const auto kept = [&] { return "；工作集維持不變（" + std::to_string(session_->recordCount()) + " 筆）"; };
    if (!document) {
        const ZmdError& error = document.error();
        logApp("開啟失敗（" + path + "）：" + error.description() + kept());
        if (!interactive)
            return false;
        std::string body;
        switch (error.kind) {
        case ZmdError::Kind::notZmd:
            body = text(L10nKey::dialogOpenNotZmdBody);
            break;
        case ZmdError::Kind::tampered:
            body = text(L10nKey::dialogOpenTamperedBody);
            break;
        case ZmdError::Kind::unsupportedVersion:
            body = text(L10nKey::dialogOpenUnsupportedVersionBody);
            break;
        case ZmdError::Kind::modelMismatch:
            body = L10n::openRefusedOtherModel(language_, error.text);
            break;
        case ZmdError::Kind::io:
            body = L10n::openFailed(language_, error.text);
            break;
        }
        showMessage(MessageKind::error, body, L10nKey::dialogOpenFailedTitle);
        return false;
    }
    // Callers took the journal over already; the start-up hook's open may
    // be the first to. Records just restored are not replaced unasked.
    switch (takeOverJournal(interactive)) {
    case JournalTakeover::refused:
        logApp("開啟失敗（" + path + "）：資料夾由另一個記錄程式使用中" + kept());
        return false;
    case JournalTakeover::restored:
        if (!interactive || !settleUnsaved()) {
            logApp("開啟取消（" + path + "）：剛恢復的記錄尚未處理" + kept());
            return false;
        }
        break;
    case JournalTakeover::held:
        break;
    }
    if (closing_ || session_->isRecording()) {
        logApp("開啟取消（" + path + "）：詢問期間程式已關閉或開始記錄" + kept());
        return false;
    }
    {
        const BusyIndicator busy(*view_);
        const auto deleted = static_cast<int>(std::min<std::int64_t>(document->deletedCount, INT32_MAX));
        session_->loadRecords(std::move(document->records), deleted);
        view_->reloadRecords(session_->recordCount());
    }
    currentFilePath_ = path;
    unsaved_ = false;
    updateTitle();
    rememberDirectory(path);
    logApp("已開啟 .zmd " + std::to_string(session_->recordCount()) + " 筆（刪除筆數 "
        + std::to_string(session_->deletedCount()) + "、" + document->software + "）：" + path);
    return true;
}

void AppController::externalOpen(const std::string& path)
{
    if (session_->isRecording()) {
        logApp("外部開檔：記錄中，不開啟 " + path);
        showMessage(MessageKind::warning, L10nKey::dialogOpenWhileRecordingBody, L10nKey::dialogOpenFailedTitle);
        return;
    }
    switch (readyToReplaceWorkingSet(true, "外部開檔")) {
    case Readiness::ready:
        break;
    case Readiness::journalRefused:
        logApp("開啟失敗（" + path + "）：資料夾由另一個記錄程式使用中；工作集維持不變（"
            + std::to_string(session_->recordCount()) + " 筆）");
        return;
    case Readiness::cancelled:
        logApp("外部開檔：使用者於未存檔詢問取消，不開啟 " + path);
        return;
    }
    (void)openDocument(path, true);
}

bool AppController::save()
{
    if (currentFilePath_)
        return write(*currentFilePath_, true);
    const auto path = askSavePath(SessionTimeFormat::defaultFileName(wallNow(), "zmd"), ui::FileDialogType::zmd);
    return path && write(*path, true);
}

void AppController::saveAs()
{
    const auto name = currentFilePath_ ? lastComponent(*currentFilePath_)
                                       : SessionTimeFormat::defaultFileName(wallNow(), "zmd");
    if (const auto path = askSavePath(name, ui::FileDialogType::zmd))
        (void)write(*path, true);
}

bool AppController::write(const std::string& path, bool interactive)
{
    std::expected<void, ZmdSaveError> saved;
    {
        const BusyIndicator busy(*view_);
        const ZmdReadings document { std::string(modelName), softwareText(), wallNow(), session_->deletedCount(),
            session_->storedRecords() };
        saved = ZmdFile::saveReadings(document, utf8Path(path), ZmdSignatureService::shared());
    }
    if (!saved) {
        const std::string description = describe(saved.error());
        logApp("存檔失敗（" + path + "）：" + description);
        if (interactive)
            showMessage(MessageKind::error, L10n::saveFailed(language_, description), L10nKey::dialogSaveFailedTitle);
        return false;
    }
    currentFilePath_ = path;
    unsaved_ = false;
    updateTitle();
    rememberDirectory(path);
    logApp("已存檔 .zmd " + std::to_string(session_->recordCount()) + " 筆（刪除筆數 "
        + std::to_string(session_->deletedCount()) + "）：" + path);
    return true;
}

void AppController::exportCsv()
{
    const std::string name = currentFilePath_ ? lastComponent(*currentFilePath_)
                                              : SessionTimeFormat::defaultFileName(wallNow(), "csv");
    const auto target = askSavePath(name, ui::FileDialogType::csv);
    if (!target)
        return;
    const CsvExporter::Row header { text(L10nKey::columnDate), text(L10nKey::columnTime), text(L10nKey::columnFunction),
        text(L10nKey::columnValue), text(L10nKey::columnUnit) };
    const AppLanguage language = language_;
    std::expected<void, StorageError> exported;
    {
        const BusyIndicator busy(*view_);
        exported = session_->exportCSV(utf8Path(*target), header, text(L10nKey::overload),
            [language](DmmFunction function) { return L10n::functionName(function, language); });
    }
    if (!exported) {
        const std::string description = exported.error().text();
        logApp("匯出 CSV 失敗（" + *target + "）：" + description);
        showMessage(MessageKind::error, L10n::exportFailed(language_, description), L10nKey::dialogExportFailedTitle);
        return;
    }
    rememberDirectory(*target);
    logApp("已匯出 CSV " + std::to_string(session_->recordCount()) + " 筆：" + *target);
}

void AppController::deleteRows(std::span<const std::size_t> rows)
{
    if (rows.empty() || closing_)
        return;
    // A restore here would change what the selected rows are.
    if (takeOverJournal(true) != JournalTakeover::held)
        return;
    // The indices are copied before the question: its message loop may
    // change the selection they came from.
    std::vector<int> indexes;
    indexes.reserve(rows.size());
    for (std::size_t row : rows)
        indexes.push_back(static_cast<int>(std::min<std::size_t>(row, INT32_MAX)));
    const int countBefore = session_->recordCount();
    if (!confirm(L10nKey::dialogDeleteRowsBody, L10nKey::dialogDeleteRowsTitle) || closing_)
        return;
    if (session_->recordCount() != countBefore) {
        logApp("刪除取消：詢問期間記錄已改變（" + std::to_string(session_->recordCount()) + " 筆）");
        return;
    }
    (void)session_->deleteRecords(indexes);
    view_->reloadRecords(session_->recordCount());
    markChanged();
    logApp("已刪除 " + std::to_string(indexes.size()) + " 列，剩餘 " + std::to_string(session_->recordCount()) + " 筆");
}

void AppController::clearAll()
{
    if (session_->recordCount() == 0 || closing_)
        return;
    if (takeOverJournal(true) != JournalTakeover::held)
        return;
    if (!confirm(L10nKey::dialogClearAllBody, L10nKey::dialogClearAllTitle) || closing_ || session_->recordCount() == 0)
        return;
    (void)session_->clearRecords();
    view_->resetRecords();
    markChanged();
    logApp("已清空記錄（緩衝檔已重寫為空）");
}

bool AppController::receiveCopyData(std::uintptr_t identifier, std::span<const std::uint8_t> bytes)
{
    const auto path = OpenDocumentMessage::decode(identifier, bytes);
    if (!path) {
        char hex[32];
        std::snprintf(hex, sizeof hex, "%llx", static_cast<unsigned long long>(identifier));
        logApp(std::string("收到無法辨識的 WM_COPYDATA（dwData 0x") + hex + "、" + std::to_string(bytes.size())
            + " 位元組），略過");
        return false;
    }
    receiveForwardedPath(text::utf16ToUtf8(*path));
    return true;
}

void AppController::receiveForwardedPath(const std::string& path)
{
    if (closing_) {
        logApp("轉交開檔：程式關閉中，略過 " + path);
        return;
    }
    if (pendingForwardedPath_)
        logApp("轉交開檔：尚未處理的 " + *pendingForwardedPath_ + " 由較新的轉交取代");
    logApp("轉交開檔：收到 " + path);
    pendingForwardedPath_ = path;
    view_->bringToFront();
    const std::weak_ptr<AppController> weak = weak_from_this();
    // Answered at once; opened when no question is open and the window
    // can ask its own.
    deferredUI_->enqueue([weak] {
        auto self = weak.lock();
        if (!self)
            return;
        auto taken = std::exchange(self->pendingForwardedPath_, std::nullopt);
        if (!taken)
            return;
        // A close asked for meanwhile comes first.
        if (self->closing_ || self->closePending_) {
            logApp("轉交開檔：程式關閉中，略過 " + *taken);
            return;
        }
        self->view_->bringToFront();
        self->externalOpen(*taken);
    });
}

} // namespace zelmar
