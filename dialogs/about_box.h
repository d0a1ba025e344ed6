// TAboutBox "Info": product name, version and maker.
#pragma once

#include <QDialog>

class QFrame;
class QLabel;
class QPushButton;

namespace zx {

class TAboutBox : public QDialog {
    Q_OBJECT
public:
    TAboutBox();
    QFrame* Panel1;
    QLabel* ProgramIcon;
    QLabel* ProductName;
    QLabel* Version;
    QLabel* Copyright;
    QLabel* Maker;  ///< the maker's town
    QLabel* Comments;
    QLabel* WebAddress;
    QPushButton* OKButton;
    void FormCreate();
};

/// The program picture (a drawn head, 100 × 124), decoded from its JPEG.
QPixmap ProgramPicture();

}  // namespace zx
