// Every run into the line's history, and with SAVE its record beside the
// result file; the history window from the main window's menu.

#include <algorithm>
#include <cstdio>

#include "history/history_writer.h"
#include "platform/clock.h"
#include "platform/file_write.h"
#include "platform/format.h"
#include "platform/sha256.h"
#include "platform/trace.h"
#include "shell/about_dlg.h"
#include "shell/error_messages.h"
#include "shell/image_adjust_dlg.h"
#include "standards/std_file.h"

namespace {

// What the status line adds while runs wait for the history, and for runs lost to it.
constexpr const char* kPendingFormat = "　［履歴未保存 %zu 件］";
constexpr const char* kLostFormat = "　［履歴記録不能 %zu 件］";
constexpr const char* kHistoryRefused = "調整点検履歴のファイルを使えません。記録は保留されます。\r\n";
constexpr const char* kSettingsRefused =
    "調整点検履歴の設定ファイルを使えません。記録は既定の履歴ファイルに保存されます。\r\n";
constexpr const char* kRunLost = "この検査の記録を調整点検履歴にも保留にも書けませんでした。記録は失われます。\r\n";
constexpr const char* kFileNotOpened = "指定のファイルを開けませんでした";
constexpr const char* kEditorItem = "defect-editor";

// The names of the station's own interrupted writes: a result file, its
// record, STD.DAT, a queue entry (platform/file_write.h makes them).
bool OursToClean(const std::string& target) {
    auto ends = [&](const char* tail) {
        const std::string t = tail;
        return target.size() > t.size() && target.compare(target.size() - t.size(), t.size(), t) == 0;
    };
    return target == kStdFileName || ends(".dat") || ends(".json");
}

std::string Trimmed(std::string s) {
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r' || s.back() == ' ')) s.pop_back();
    return s;
}

}  // namespace

void CImageAdjustDlg::OpenHistory() {
    if (!m_historySettings) {
        std::string error;
        m_historySettings = history::LoadHistorySettingsOrDefaults(history::kSettingsFile, &error);
        // Said, and the runs go to the default history meanwhile, never nowhere.
        if (!error.empty()) AppMessageBox(std::string(kSettingsRefused) + error);
    }
    // What a killed run left half-written is of no use to anyone.
    platform::RemoveAbandonedTemporaries(".", OursToClean);
    platform::RemoveAbandonedTemporaries(m_historySettings->queue, OursToClean);

    m_history = history::MakeWriter(*m_historySettings);
    // The journal of the last session goes in now. A history file of the
    // station's own that is refused is said at once (one that is not a
    // history, of a newer station, or damaged); a server may only be away.
    const history::HistoryWriter::Outcome o = m_history->Flush();
    if (!o.written) {
        if (m_historySettings->store == history::HistorySettings::Store::Sqlite)
            AppMessageBox(std::string(kHistoryRefused) + o.error);
        else
            TellHistoryFailure(o.error);
    }
    if (o.pending > 0) m_comment += platform::Format(kPendingFormat, o.pending);
}

void CImageAdjustDlg::BeginRunDocument() {
    // The history's times are the wall clock's in every program, the line
    // run's virtual time included; one run after another never shares a start.
    m_runStartUnixMs = std::max(platform::RealClock().UnixMs(), m_runStartUnixMs + 1);
    m_runId = history::NewRunId(m_historySettings ? history::StationName(*m_historySettings) : std::string(),
                                m_runStartUnixMs);
}

history::RunDocument CImageAdjustDlg::RunDocumentOf(int result) const {
    return RunDocumentOf(result, platform::RealClock().UnixMs());
}

history::RunDocument CImageAdjustDlg::RunDocumentOf(int result, std::int64_t endedAtMs) const {
    const RunRecord& record = m_runRecord;
    history::RunDocument doc;
    doc.station = m_historySettings ? history::StationName(*m_historySettings) : std::string();
    doc.runId = m_runId;
    doc.startedAtMs = m_runStartUnixMs;
    doc.endedAtMs = std::max(endedAtMs, m_runStartUnixMs);
    doc.identification = record.Identification();
    doc.selection = record.Selection();
    for (const ItemRow& row : ItemTable())
        if (record.Selection() & row.bits) doc.selectedItems.push_back(ItemKey(row.item));
    doc.result = result;
    if (doc.result != 1) doc.errorMessage = ErrorMessage(doc.result);
    doc.programVersion = platform::Format("%.2f", kProgramVersion);
    doc.standardsHash = m_standardsHash;
    // Item times are the station's clock's, offsets from the run's start.
    for (RunItemResult item : record.Items()) {
        item.startMs -= record.StartMs();
        item.endMs -= record.StartMs();
        doc.items.push_back(std::move(item));
    }
    doc.measurements = record.Measurements();
    return doc;
}

void CImageAdjustDlg::JournalRun(int itemsResult) {
    if (!m_history) return;
    std::string error;
    if (!m_history->Journal(RunDocumentOf(itemsResult), &error)) TellHistoryFailure(error);
}

int CImageAdjustDlg::WriteRunDocumentFile(int result) {
    // The run has ended: the record beside the file and the history's say the same.
    m_runEndUnixMs = platform::RealClock().UnixMs();
    const std::string& identification = m_runRecord.Identification();
    if (m_saveResult != 1 || identification.empty()) return result;
    // Treated as the result file is: a record that cannot be written (read
    // only, disk full) is not left stale behind an OK.
    if (platform::WriteFileReplacing(identification + ".json", history::ToJson(RunDocumentOf(result, m_runEndUnixMs))) ==
        platform::WriteError::None)
        return result;
    platform::Trace("RUN RECORD NOT WRITTEN: %s.json\r\n", identification.c_str());
    if (result == kErrFileOpen) return result;  // the result file's failure is said already
    AppMessageBox(kFileNotOpened);
    m_runRecord.End(kErrFileOpen, GetHost().Clock().NowMs());
    return kErrFileOpen;
}

void CImageAdjustDlg::RecordRunInHistory() { RecordInHistory(RunDocumentOf(m_runRecord.Result(), m_runEndUnixMs)); }

void CImageAdjustDlg::RecordInHistory(const history::RunDocument& doc) {
    if (!m_history) return;
    const history::HistoryWriter::Outcome outcome = m_history->Record(doc);
    if (outcome.written) m_historyTold.clear();
    else TellHistoryFailure(outcome.error);
    if (outcome.lost) {
        ++m_lostRuns;
        AppMessageBox(std::string(kRunLost) + outcome.error);
    }
    if (outcome.pending > 0) m_comment += platform::Format(kPendingFormat, outcome.pending);
    if (m_lostRuns > 0) m_comment += platform::Format(kLostFormat, m_lostRuns);
    if (outcome.pending > 0 || m_lostRuns > 0) ShowStrings();
}

void CImageAdjustDlg::TellHistoryFailure(const std::string& error) {
    // The server's own words, once: the status line keeps the count meanwhile.
    const std::string text = Trimmed(error);
    platform::Trace("HISTORY: %s\r\n", text.c_str());
    if (text == m_historyTold) return;
    m_historyTold = text;
    std::fprintf(stderr, "history: %s\n", text.c_str());
}

std::unique_ptr<ResultFileJournal> CImageAdjustDlg::EditorJournal() {
    // The defect editor's SAVE replaces the result file: its run goes into
    // the history and beside the file as a run of START does.
    class Journal : public ResultFileJournal {
    public:
        explicit Journal(CImageAdjustDlg& dlg) : m_dlg(dlg) {}
        void ResultFileComing(const std::string& identification) override {
            const auto standards = platform::ReadWholeFile(kStdFileName);
            m_dlg.m_standardsHash = standards ? platform::Sha256Hex(*standards) : std::string();
            m_dlg.BeginRunDocument();
            m_identification = identification;
            if (!m_dlg.m_history) return;
            std::string error;
            if (!m_dlg.m_history->Journal(Document(1), &error)) m_dlg.TellHistoryFailure(error);
        }
        bool ResultFileDone(int result) override {
            history::RunDocument doc = Document(result);
            const bool written = platform::WriteFileReplacing(m_identification + ".json", history::ToJson(doc)) ==
                                 platform::WriteError::None;
            if (!written) {
                platform::Trace("RUN RECORD NOT WRITTEN: %s.json\r\n", m_identification.c_str());
                doc.result = doc.items[0].result = kErrFileOpen;
                doc.errorMessage = ErrorMessage(kErrFileOpen);
            }
            m_dlg.RecordInHistory(doc);
            return written;
        }

    private:
        history::RunDocument Document(int result) const {
            history::RunDocument doc;
            doc.station = m_dlg.m_historySettings ? history::StationName(*m_dlg.m_historySettings) : std::string();
            doc.runId = m_dlg.m_runId;
            doc.startedAtMs = m_dlg.m_runStartUnixMs;
            doc.endedAtMs = std::max(platform::RealClock().UnixMs(), doc.startedAtMs);
            doc.identification = m_identification;
            doc.selectedItems = {kEditorItem};
            doc.items = {{kEditorItem, result, 0, 0}};
            doc.result = result;
            if (result != 1) doc.errorMessage = ErrorMessage(result);
            doc.programVersion = platform::Format("%.2f", kProgramVersion);
            doc.standardsHash = m_dlg.m_standardsHash;
            return doc;
        }

        CImageAdjustDlg& m_dlg;
        std::string m_identification;
    };
    return std::make_unique<Journal>(*this);
}

void CImageAdjustDlg::OnHistoryMenu() {
    // Never while a run is under way: the window would read half a line.
    if (m_running || !m_historyViewer || !m_historySettings) return;
    m_historyViewer(*m_historySettings);
}
