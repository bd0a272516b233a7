// Every run into the line's history, and with SAVE its record beside the
// result file; the history window from the main window's menu.

#include "history/history_writer.h"
#include "platform/clock.h"
#include "platform/file_write.h"
#include "platform/format.h"
#include "platform/trace.h"
#include "shell/about_dlg.h"
#include "shell/error_messages.h"
#include "shell/image_adjust_dlg.h"

namespace {

// What the status line adds while runs wait for the history.
constexpr const char* kPendingFormat = "　［履歴未保存 %zu 件］";
constexpr const char* kHistoryRefused = "調整点検履歴のファイルを使えません。記録は保留されます。\r\n";

}  // namespace

void CImageAdjustDlg::OpenHistory() {
    if (!m_historySettings) {
        std::string error;
        m_historySettings = history::LoadHistorySettings(history::kSettingsFile, &error);
        if (!m_historySettings) {
            // Nothing is recorded until the file is mended; the station still adjusts.
            AppMessageBox(error);
            return;
        }
    }
    m_history = std::make_unique<history::HistoryWriter>(history::Connector(*m_historySettings),
                                                         m_historySettings->queue);
    // A history file of the station's own is tried at once, so that one that
    // is not a history (or of a newer station) is said before the first run;
    // a server is tried with the first run instead, as it may be away for now.
    if (m_historySettings->store == history::HistorySettings::Store::Sqlite) {
        const history::HistoryWriter::Outcome o = m_history->Flush();
        if (!o.written) AppMessageBox(std::string(kHistoryRefused) + o.error);
    }
}

void CImageAdjustDlg::RecordRunInHistory() {
    if (!m_history) return;
    const RunRecord& record = m_runRecord;
    history::RunDocument doc;
    doc.station = history::StationName(*m_historySettings);
    doc.startedAtMs = m_runStartUnixMs;
    doc.endedAtMs = m_runStartUnixMs + (record.EndMs() - record.StartMs());
    doc.runId = history::NewRunId(doc.station, doc.startedAtMs);
    doc.identification = record.Identification();
    doc.selection = record.Selection();
    for (const ItemRow& row : ItemTable())
        if (record.Selection() & row.bits) doc.selectedItems.push_back(ItemKey(row.item));
    doc.result = record.Result();
    if (doc.result != 1) doc.errorMessage = ErrorMessage(doc.result);
    doc.programVersion = platform::Format("%.2f", kProgramVersion);
    doc.standardsHash = m_standardsHash;
    for (RunItemResult item : record.Items()) {
        item.startMs -= record.StartMs();
        item.endMs -= record.StartMs();
        doc.items.push_back(std::move(item));
    }
    doc.measurements = record.Measurements();

    // With SAVE the record goes beside the result file, named as it is.
    if (m_saveResult == 1 && !doc.identification.empty() &&
        platform::WriteFileReplacing(doc.identification + ".json", history::ToJson(doc)) != platform::WriteError::None)
        platform::Trace("RUN RECORD NOT WRITTEN\r\n");

    const history::HistoryWriter::Outcome outcome = m_history->Record(doc);
    if (outcome.pending > 0) {
        platform::Trace("HISTORY: %s\r\n", outcome.error.c_str());
        m_comment += platform::Format(kPendingFormat, outcome.pending);
        ShowStrings();
    }
}

void CImageAdjustDlg::OnHistoryMenu() {
    // Never while a run is under way: the window would read half a line.
    if (m_running || !m_historyViewer || !m_historySettings) return;
    m_historyViewer(*m_historySettings);
}
