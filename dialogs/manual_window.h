// TManualWindow "Zerebrix Anleitung": the German manual (HTML with pictures,
// shipped as a resource), shown modeless beside the product sheet.
#pragma once

#include <QWidget>

class QTextBrowser;

namespace zx {

class TManualWindow : public QWidget {
    Q_OBJECT
public:
    TManualWindow();
    QTextBrowser* Browser;  ///< the manual, links inside it followed
};

/// Where the manual lies among the program's resources.
inline constexpr char kManualUrl[] = "qrc:/zerebrix/manual/anleitung.html";

}  // namespace zx
