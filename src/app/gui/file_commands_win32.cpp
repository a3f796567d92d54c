// The commands that move the working set between memory and files: new,
// open (menu, launch path, forwarded), save, save as, export, delete rows
// and clear all, with the one unsaved-changes question they share.

#include "app/gui/app_controller_win32.h"
#include "app/gui/controller_support_win32.h"

#include "app/launch_arguments.h"
#include "core/diagnostic_log.h"
#include "core/text_encoding.h"
#include "security/signature_service.h"
#include "session/polling_engine.h"
#include "session/session_time_format.h"
#include "storage/csv_exporter.h"

#include <cstdio>

namespace zelmar {

using namespace gui;

namespace {

std::string folderOf(const std::string& path)
{
    const auto slash = path.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

std::optional<std::wstring> wideDirectory(const std::optional<std::string>& directory)
{
    if (!directory)
        return std::nullopt;
    return text::utf8ToWide(*directory);
}

} // namespace

bool AppController::settleUnsaved()
{
    if (!unsaved_)
        return true;
    switch (window_->askUnsaved(text(L10nKey::dialogUnsavedBody), text(L10nKey::dialogUnsavedTitle))) {
    case ui::win32::SaveChoice::save:
        return save();
    case ui::win32::SaveChoice::dontSave:
        return true;
    default:
        return false;
    }
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
    if (!settleUnsaved() || !ownJournal(true))
        return;
    if ((session_->recordCount() > 0 || unsaved_)
        && !window_->confirm(text(L10nKey::dialogNewFileBody), text(L10nKey::dialogNewFileTitle)))
        return;
    session_->newDataSet();
    window_->resetRecords();
    currentFilePath_.reset();
    unsaved_ = false;
    updateTitle();
    refreshChannelText();
    logApp("新檔案：工作集、緩衝檔與刪除筆數已清除");
}

void AppController::openFromMenu()
{
    if (session_->isRecording() || !settleUnsaved())
        return;
    const auto path = window_->askOpenPath(wideDirectory(settings_.lastSaveDirectory));
    if (!path)
        return;
    (void)openDocument(text::wideToUtf8(*path), true);
}

bool AppController::openDocument(const std::string& path, bool interactive)
{
    std::optional<WaitCursor> wait(std::in_place);
    auto document = ZmdFile::open(fsPath(path), modelName, ZmdSignatureService::shared());
    if (!document) {
        wait.reset();
        const ZmdError& error = document.error();
        logApp("開啟失敗（" + path + "）：" + error.description() + "；工作集維持不變（"
            + std::to_string(session_->recordCount()) + " 筆）");
        if (interactive) {
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
            window_->showError(body, text(L10nKey::dialogOpenFailedTitle));
        }
        return false;
    }
    if (!ownJournal(interactive)) {
        wait.reset();
        logApp("開啟失敗（" + path + "）：資料夾由另一個記錄程式使用中；工作集維持不變（"
            + std::to_string(session_->recordCount()) + " 筆）");
        return false;
    }
    const auto deleted = static_cast<int>(std::min<std::int64_t>(document->deletedCount, INT32_MAX));
    session_->loadRecords(std::span<const JournalRecord>(document->records), deleted);
    window_->reloadRecords(session_->recordCount());
    wait.reset();
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
        window_->showWarning(text(L10nKey::dialogOpenWhileRecordingBody), text(L10nKey::dialogOpenFailedTitle));
        return;
    }
    if (!settleUnsaved()) {
        logApp("外部開檔：使用者於未存檔詢問取消，不開啟 " + path);
        return;
    }
    (void)openDocument(path, true);
}

bool AppController::save()
{
    if (currentFilePath_)
        return write(*currentFilePath_, true);
    const auto name = SessionTimeFormat::defaultFileName(PollingEngine::now(), "zmd");
    const auto path = window_->askSavePath(name, wideDirectory(settings_.lastSaveDirectory), ui::FileDialogType::zmd);
    if (!path)
        return false;
    return write(text::wideToUtf8(*path), true);
}

void AppController::saveAs()
{
    const auto name = currentFilePath_ ? lastComponent(*currentFilePath_)
                                       : SessionTimeFormat::defaultFileName(PollingEngine::now(), "zmd");
    const auto path = window_->askSavePath(name, wideDirectory(settings_.lastSaveDirectory), ui::FileDialogType::zmd);
    if (path)
        (void)write(text::wideToUtf8(*path), true);
}

bool AppController::write(const std::string& path, bool interactive)
{
    std::optional<WaitCursor> wait(std::in_place);
    const ZmdDocument document { std::string(modelName), softwareText(), PollingEngine::now(), session_->deletedCount(),
        session_->journalRecords() };
    auto saved = ZmdFile::save(document, fsPath(path), ZmdSignatureService::shared());
    wait.reset();
    if (!saved) {
        const std::string description = describe(saved.error());
        logApp("存檔失敗（" + path + "）：" + description);
        if (interactive)
            window_->showError(L10n::saveFailed(language_, description), text(L10nKey::dialogSaveFailedTitle));
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
    std::string name = currentFilePath_ ? lastComponent(*currentFilePath_)
                                        : SessionTimeFormat::defaultFileName(PollingEngine::now(), "csv");
    const auto path = window_->askSavePath(name, wideDirectory(settings_.lastSaveDirectory), ui::FileDialogType::csv);
    if (!path)
        return;
    const std::string target = text::wideToUtf8(*path);
    const CsvExporter::Row header { text(L10nKey::columnDate), text(L10nKey::columnTime), text(L10nKey::columnFunction),
        text(L10nKey::columnValue), text(L10nKey::columnUnit) };
    const AppLanguage language = language_;
    std::optional<WaitCursor> wait(std::in_place);
    auto exported = session_->exportCSV(fsPath(target), header, text(L10nKey::overload),
        [language](DmmFunction function) { return L10n::functionName(function, language); });
    wait.reset();
    if (!exported) {
        const std::string description = exported.error().text();
        logApp("匯出 CSV 失敗（" + target + "）：" + description);
        window_->showError(L10n::exportFailed(language_, description), text(L10nKey::dialogExportFailedTitle));
        return;
    }
    rememberDirectory(target);
    logApp("已匯出 CSV " + std::to_string(session_->recordCount()) + " 筆：" + target);
}

void AppController::deleteRows(std::span<const std::size_t> rows)
{
    if (rows.empty())
        return;
    if (!window_->confirm(text(L10nKey::dialogDeleteRowsBody), text(L10nKey::dialogDeleteRowsTitle))
        || !ownJournal(true))
        return;
    std::vector<int> indexes;
    indexes.reserve(rows.size());
    for (std::size_t row : rows)
        indexes.push_back(static_cast<int>(row));
    (void)session_->deleteRecords(indexes);
    window_->reloadRecords(session_->recordCount());
    markChanged();
    logApp("已刪除 " + std::to_string(rows.size()) + " 列，剩餘 " + std::to_string(session_->recordCount()) + " 筆");
}

void AppController::clearAll()
{
    if (session_->recordCount() == 0)
        return;
    if (!window_->confirm(text(L10nKey::dialogClearAllBody), text(L10nKey::dialogClearAllTitle)) || !ownJournal(true))
        return;
    (void)session_->clearRecords();
    window_->resetRecords();
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
    window_->bringToFront();
    const std::weak_ptr<AppController> weak = weak_from_this();
    // Answered at once; opened when the window can ask its questions.
    deferredUI_->enqueue([weak] {
        auto self = weak.lock();
        if (!self)
            return;
        auto taken = std::exchange(self->pendingForwardedPath_, std::nullopt);
        if (!taken || self->closing_)
            return;
        self->window_->bringToFront();
        self->externalOpen(*taken);
    });
}

} // namespace zelmar
