#pragma once
// The DTC Lookup page: fills the trouble-code list at start-up, selects the first code that
// contains the text typed in the search box, and shows a code's description on a double click.
#include "core/ports.h"

#include <QObject>

#include <string>

class QLineEdit;
class TDtcListView;

class DtcPage final : public QObject {
    Q_OBJECT
public:
    // Pixels between the top of the list and a row that the search brings into view.
    static constexpr int kFoundRowTop = 20;

    // `executableDir` is where the database is looked for when the working folder has none.
    DtcPage(TDtcListView* list, QLineEdit* search, IMessageBox* messageBox,
            std::string executableDir, QObject* parent = nullptr);

    // Sets up the list and fills it from the database; no database leaves it empty.
    void LoadDtcList();
    // Handler of the search box, run on every change of its text.
    void EditSearchChange();
    // Shows the selected row's description.
    void DTCLookupListDblClick();

    // The database file the list was filled from; empty when none was found.
    const std::string& DatabasePath() const { return databasePath_; }

private:
    TDtcListView* list_;
    QLineEdit* search_;
    IMessageBox* messageBox_;
    std::string executableDir_;
    std::string databasePath_;
};
