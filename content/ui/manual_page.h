#pragma once
// The Manual page: lists the documents of the manual folder at start-up and opens the one double
// clicked with the desktop's program for its kind.
#include <QObject>

#include <functional>
#include <string>
#include <vector>

class QListWidget;

class ManualPage final : public QObject {
    Q_OBJECT
public:
    // Opens a document; the result is not looked at.
    using Opener = std::function<void(const std::string& path)>;

    // `folder` ends with '/'.  Without an opener the desktop's default program opens documents.
    ManualPage(QListWidget* list, std::string folder, Opener opener = {},
               QObject* parent = nullptr);

    // Fills the list with the folder's documents; a missing folder leaves it empty.
    void LoadManualList();
    // Opens the selected document.
    void ManualListBoxDblClick();

private:
    QListWidget* list_;
    std::string folder_;
    Opener opener_;
    std::vector<std::string> names_; // file names as stored, row by row
};
