// Inversion of the shown sections, the info list switch and the step buttons.
#include <QPushButton>

#include "app/main_window.h"
#include "widgets/image_view.h"
#include "widgets/list_box.h"

namespace zx {

void TForm1::InvertButtonClick() {
    // A display effect only: the clean section bitmaps and the volume stay;
    // the next restore of a view shows it uninverted again.
    for (TImage* view : {Image1, Image2, Image3}) {
        view->Picture().invertPixels(QImage::InvertRgb);
        view->update();
    }
}

void TForm1::ShowLBButtonClick() {
    FileListBox->setVisible(FileListBox->isHidden());
    ShowLBButton->setToolTip(FileListBox->isHidden() ? QStringLiteral("Infos anzeigen")
                                                     : QStringLiteral("Infos ausblenden"));
}

void TForm1::BackBtnClick() {
    if (StepPos > 1) {
        --StepPos;
        GotoStep(StepPos);
    }
}

void TForm1::NextBtnClick() {
    if (StepPos < StepCount) {
        ++StepPos;
        GotoStep(StepPos);
    }
}

}  // namespace zx
