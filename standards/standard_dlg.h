#pragma once
// The standards window (resource 132, "規格設定"). It owns the STD.DAT file
// operations: the main window also constructs it unshown at start-up only to
// read the file into its record.

#include <string>
#include <vector>

#include "res/resource.h"
#include "standards/standard_data.h"
#include "standards/std_fields.h"
#include "standards/std_file.h"
#include "ui/dialog.h"

// The system's default beep, which sounds before a file failure is shown.
inline constexpr int kDefaultBeepHz = 800;
inline constexpr int kDefaultBeepMs = 200;

// Texts of the file operations.
inline constexpr const char* kStdCannotOpen = "STD.DATファイルが開けません。確認してください";
inline constexpr const char* kStdBadSize = "STD.DATファイルのサイズが異常です。確認してください";
inline constexpr const char* kStdSizeTrace = "ｻｲｽﾞ=%d\n";
inline constexpr const char* kStdWriteTooLong = "File size over\n";
inline constexpr const char* kStdCannotCreate = "File not Found\n";
inline constexpr const char* kStdWriteFailed = "File write error\n";

// Transfers one field of `d` to or from its control, as its type asks.
void ExchangeStandard(ui::DataExchange& dx, const StandardField& field, StandardData& d);

class CStandardDlg : public ui::Dialog, public res::StandardIds {
public:
    // `path` is the standards file, STD.DAT in the current directory unless
    // told otherwise.
    explicit CStandardDlg(ui::Host& host, std::string path = kStdFileName);

    // Fills m_data from the file: 1 when it was opened and scanned, 0 when it
    // cannot be opened, is too long or cannot be read (with a message, which
    // ReadFault keeps).
    int ReadStandards();
    const std::string& ReadFault() const { return m_readFault; }
    // Writes m_data to the file: 1 when written; 0 after a failure, which
    // beeps and shows its text, and leaves the previous file as it was.
    int WriteStandards();
    // Whether this window has written the file.
    bool Written() const { return m_written; }

    const std::string& Path() const { return m_path; }
    void SetPath(std::string path) { m_path = std::move(path); }

    bool OnInitDialog() override;
    void DoDataExchange(ui::DataExchange& dx) override;
    void OnOK() override;

    // The controls in the order of the OK transfer, which is the order the
    // operator is sent through the entries that do not parse: one for every
    // field the window edits.
    static const std::vector<int>& TransferOrder();

    StandardData m_data;

private:
    int FailWrite(const char* text);
    // IDC_APERTURE_SPEC "絞り依存性": the aperture standards in their own window.
    void OnApertureSpec();

    std::string m_path;
    std::string m_readFault;
    bool m_written = false;
};
