// The series browser "DICOM-Serien": what a folder or CD holds, one series
// a row with its thumbnail, for choosing the volume to open. Series that
// are no volume are listed greyed, with the reason.
#pragma once

#include <QDialog>

#include "convert/dicom_helper.h"

class QLabel;
class QPushButton;
class QTreeWidget;

namespace zx {

class TSeriesBrowser : public QDialog {
    Q_OBJECT
public:
    explicit TSeriesBrowser(QWidget* parent = nullptr);
    QLabel* Label1;             ///< where the series come from and how many are volumes
    QTreeWidget* SeriesList;    ///< one row a series; only volumes can be chosen
    QPushButton* OkButton;      ///< "OK": opens the chosen series
    QPushButton* CancelButton;  ///< "Abbrechen"

    /// Fills the list from the index of `path`; the first volume is chosen.
    void SetIndex(const QString& path, const DicomFolderIndex& index);
    /// The chosen row's entry of the index, from 1; 0 when none.
    int ChosenSeries() const;
    /// Chooses the entry `series` (from 1) when it is a volume.
    bool Choose(int series);
};

}  // namespace zx
