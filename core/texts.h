// The German texts that more than one place of the program uses, and the
// runtime's messages. UTF-8; turn into QString with QString::fromUtf8.
#pragma once

namespace zx::texts {

// Application and window captions.
inline constexpr char kAppTitle[] = "Zerebrix";
inline constexpr char kMainCaption[] = "Zerebrix-MR";
inline constexpr char kCaptionPrefix[] = "Zerebrix - ";
inline constexpr char kImportedBitmapsCaption[] = "Zerebrix - Importierte Bitmaps";
inline constexpr char kDefaultVolumeFile[] = "MR_Kopf.vmr";

// Message box titles and buttons.
inline constexpr char kTitleError[] = "Fehler";
inline constexpr char kTitleInformation[] = "Information";
inline constexpr char kTitleConfirmation[] = "Bestätigung";
inline constexpr char kButtonOk[] = "OK";
inline constexpr char kButtonCancel[] = "Abbrechen";
inline constexpr char kButtonYes[] = "&Ja";
inline constexpr char kButtonNo[] = "&Nein";

// Runtime errors.
inline constexpr char kFileNotFound[] = "Datei nicht gefunden";
inline constexpr char kAccessDenied[] = "Dateizugriff verweigert";
inline constexpr char kInvalidFileName[] = "Ungültiger Dateiname";
inline constexpr char kTooManyOpenFiles[] = "Zu viele geöffnete Dateien";
inline constexpr char kDiskFull[] = "Festplatte voll";
inline constexpr char kReadPastEnd[] = "Lesen über Dateiende";
inline constexpr char kIoErrorFmt[] = "E/A-Fehler %1";
inline constexpr char kNotAnIntegerFmt[] = "'%1' ist kein gültiger Integerwert";
inline constexpr char kInvalidBitmap[] = "Bitmap ist ungültig";
inline constexpr char kFileTooLarge[] = "Datei zu groß";
inline constexpr char kNoDefaultPrinter[] = "Zur Zeit ist kein Standard-Drucker gewählt";

// Status bar.
inline constexpr char kSlicesRead[] = " Datensätze gelesen.";
inline constexpr char kLoadingFile[] = " ... lade die Datei ";
inline constexpr char kCrosshairStatus[] = " Fadenkreuz: x: %1;  y: %2;  z: %3";
inline constexpr char kCopyright[] =
    "Zerebrix-MR 1.0  (c) Zerebrix-Projekt - Lehr- und Lernsoftware";

// Open command and info file.
inline constexpr char kWrongExtensionA[] = "Falsche Dateiendung \"";
inline constexpr char kWrongExtensionB[] = "\". ";
inline constexpr char kWrongExtensionC[] = " Erlaubt sind \".vmr\" oder \".VMR\" .";
inline constexpr char kInfoWrongId[] = "Falsche Dateikennung InfoFile";
inline constexpr char kInfoNoComments[] = "Falsche o. fehlende Kommentargruppe im InfoFile.";
inline constexpr char kInfoNoBitmaps[] = "Fehlende Bitmapgruppe im InfoFile.";
inline constexpr char kInfoDamaged[] =
    "Die Infodatei ist beschädigt: sie endet vor den angekündigten Daten.";
inline constexpr char kTooManySlicesA[] = "Zu viele (";
inline constexpr char kTooManySlicesB[] = ") Schichten !";
inline constexpr char kBitmapFilesChosen[] = " Bilddateien ausgewählt.";
inline constexpr char kOpenFilter[] = "Zerebrix-MR-Serie (*.vmr)|*.vmr|alle Dateien (*.*)|*.*";

// Import window: DICOM files it refuses, and writing pictures.
inline constexpr char kDicomTooLargeFmt[] =
    "Das DICOM-Bild ist zu groß (%1 × %2 Bildpunkte); gelesen werden höchstens 1.048.577 "
    "Bildpunkte";
inline constexpr char kDicomCompressed[] =
    "Die DICOM-Datei enthält komprimierte Bilddaten; gelesen werden nur unkomprimierte Bilder";
inline constexpr char kDicomBigEndian[] =
    "Die DICOM-Datei ist im Big-Endian-Format gespeichert; gelesen werden nur Little-Endian-Bilder";
inline constexpr char kDicomColourFmt[] =
    "Die DICOM-Datei enthält ein Farbbild (%1); gelesen werden nur Graustufenbilder";
inline constexpr char kDicomBitsFmt[] =
    "Die DICOM-Datei hat %1 Bit je Bildpunkt; gelesen werden nur Bilder mit 8 oder 16 Bit";
inline constexpr char kCannotCreateFmt[] = "Datei %1 kann nicht erstellt werden";

// Outside formats.
inline constexpr char kNiftiFilter[] =
    "Volumendateien (*.nii *.nii.gz *.hdr *.img *.mgh *.mgz *.nrrd *.nhdr *.mha *.mhd *.mnc)|"
    "*.nii;*.nii.gz;*.hdr;*.img;*.mgh;*.mgz;*.nrrd;*.nhdr;*.mha;*.mhd;*.mnc|"
    "NIfTI und Analyze (*.nii *.nii.gz *.hdr *.img)|*.nii;*.nii.gz;*.hdr;*.img|"
    "FreeSurfer (*.mgh *.mgz)|*.mgh;*.mgz|NRRD (*.nrrd *.nhdr)|*.nrrd;*.nhdr|"
    "MetaImage (*.mha *.mhd)|*.mha;*.mhd|MINC (*.mnc)|*.mnc|alle Dateien (*.*)|*.*";
/// The same volume files, as an entry of the Open dialog.
inline constexpr char kVolumeFilesFilter[] =
    "Volumendateien anderer Programme (*.nii *.nii.gz *.hdr *.img *.mgh *.mgz *.nrrd *.nhdr "
    "*.mha *.mhd *.mnc)|*.nii;*.nii.gz;*.hdr;*.img;*.mgh;*.mgz;*.nrrd;*.nhdr;*.mha;*.mhd;*.mnc";
inline constexpr char kDicomFolderTitle[] = "Ordner mit einer DICOM-Serie wählen";

inline constexpr char kCannotOpenThese[] =
    "Zerebrix öffnet eine Volumendatei (.vmr, NIfTI, Analyze, MGH/MGZ, NRRD, MetaImage, MINC), "
    "einen "
    "Ordner mit einer DICOM-Serie oder mehrere BMP-Bilder; nicht: ";

// Views.
inline constexpr const char* kViewNames[4] = {"", "SAG", "COR", "TRA"};

}  // namespace zx::texts
