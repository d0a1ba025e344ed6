// NIfTI files and DICOM folders opened from the "Datei" menu: shown as a
// volume file is, and any failure leaves everything as it was.
#include <QAction>
#include <QDir>
#include <cstring>

#include "widgets/image_view.h"
#include "widgets/list_box.h"
#include "widgets/status_bar.h"
#include "support/app_fixture.h"

namespace {

/// A NIfTI-1 file of 20 × 24 × 16 one-byte voxels, 1 mm, no transform;
/// voxel (i, j, k) holds i + 10 · k.
QByteArray SmallNifti() {
    QByteArray h(352, '\0');
    auto put16 = [&](int at, int v) { h[at] = char(v & 0xff), h[at + 1] = char((v >> 8) & 0xff); };
    auto putF = [&](int at, float v) { std::memcpy(h.data() + at, &v, 4); };
    put16(0, 348), h[1] = 0x01;  // sizeof_hdr 348
    const int dims[8] = {3, 20, 24, 16, 1, 1, 1, 1};
    for (int i = 0; i < 8; ++i) put16(40 + 2 * i, dims[i]);
    put16(70, 2);  // uint8
    put16(72, 8);
    for (int i = 0; i < 4; ++i) putF(76 + 4 * i, 1.0f);
    putF(108, 352.0f);
    std::memcpy(h.data() + 344, "n+1\0", 4);
    for (int k = 0; k < 16; ++k)
        for (int j = 0; j < 24; ++j)
            for (int i = 0; i < 20; ++i) h.append(char(i + 10 * k));
    return h;
}

class OpenFormats : public zxtest::AppFixture {
protected:
    std::vector<std::uint8_t> defaultBytes;
    void SetUp() override {
        defaultBytes = WriteDefault(180, 9);
        Start();
        prompter.record.clear();
    }
    bool VolumeIsDefault() const {
        return std::memcmp(form->Volume.data(), defaultBytes.data(), defaultBytes.size()) == 0;
    }
};

TEST_F(OpenFormats, ANiftiFileIsShownCentredWithoutAFileName) {
    prompter.openAnswers.push_back(QStringList{dir.Write(QStringLiteral("kopf.nii"), SmallNifti())});
    form->NiftiOeffnen1->trigger();
    EXPECT_TRUE(prompter.Messages().empty());
    EXPECT_EQ(form->SliceCount, 20);
    EXPECT_EQ(form->SliceOffset, 118);
    EXPECT_EQ(form->Xg, 10);
    EXPECT_EQ(form->StepCount, 1);
    EXPECT_TRUE(form->VolumeFileName.isEmpty());
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Zerebrix - kopf.nii"));
    EXPECT_EQ(form->StatusBar1->SimpleText(), QString::fromUtf8("20 Datensätze gelesen."));
    EXPECT_EQ(form->CorBmp.pixel(118 + 5, 128), form->Image2->Picture().pixel(118 + 5, 128));
}

TEST_F(OpenFormats, FailuresKeepTheVolumeNameAndCaption) {
    prompter.openAnswers.push_back(QStringList{dir.Write(QStringLiteral("kaputt.nii"), QByteArray(400, 'x'))});
    form->NiftiOeffnen1->trigger();
    QDir(dir.Root()).mkdir(QStringLiteral("leer"));
    prompter.folderAnswers.push_back(dir.Path(QStringLiteral("leer")));
    form->DicomSerieOeffnen1->trigger();
    const auto messages = prompter.Messages();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_TRUE(messages[0].text.contains(QStringLiteral("keine NIfTI-Datei"))) << messages[0].text.toStdString();
    EXPECT_TRUE(messages[1].text.contains(QStringLiteral("ist leer"))) << messages[1].text.toStdString();
    EXPECT_TRUE(VolumeIsDefault());
    EXPECT_EQ(form->SliceCount, 180);
    EXPECT_EQ(form->VolumeFileName, QStringLiteral("MR_Kopf.vmr"));
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Zerebrix - MR_Kopf.vmr"));
}

}  // namespace
