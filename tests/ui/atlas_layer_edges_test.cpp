// The atlas colours over the coronal and transversal views at the edges of
// the planes shown: column SliceOffset is plane 0, column SliceOffset +
// SliceCount − 1 the last plane; labels of planes the volume does not have
// stay hidden, and a region reaching an edge is outlined there.
#include <QAction>

#include "components/learning/learning.h"
#include "core/volume/volume.h"
#include "support/app_fixture.h"
#include "widgets/image_view.h"
#include "widgets/up_down.h"

namespace {

using zx::VoxelIndex;

class AtlasLayerEdges : public zxtest::AppFixture {
protected:
    /// AAL label 1 (Precentral_L) in planes 0 … 9 and 170 … 255, rows and
    /// columns 100 … 140, beside `volumeFile`.
    void WriteLabels(const QString& volumeFile) {
        std::vector<std::uint8_t> aal(zx::kVolumeBytes, 0);
        for (int x = 0; x <= 255; ++x) {
            if (x > 9 && x < 170) continue;
            for (int z = 100; z <= 140; ++z)
                for (int y = 100; y <= 140; ++y) aal[VoxelIndex(x, y, z)] = 1;
        }
        dir.Write(volumeFile.chopped(4) + QStringLiteral(".aal.vmr"), aal);
    }
    /// Sets the point with the up-down buttons' handlers.
    void MoveTo(int x, int y, int z) {
        form->xg_Up->SetPosition(x), form->xg_UpClick();
        form->yg_Up->SetPosition(y), form->yg_UpClick();
        form->zg_Up->SetPosition(z), form->zg_UpClick();
    }
    /// What the layer shows at a pixel: 0 nothing, 1 the region's colour,
    /// 2 the outline.
    static int Kind(const QImage& layer, int c, int r) {
        const QRgb p = layer.pixel(c, r);
        if (qAlpha(p) == 0) return 0;
        return p == 0xffffff00u ? 2 : 1;
    }
};

TEST_F(AtlasLayerEdges, TheFirstAndLastPlaneColumnsCarryTheLabelsAndNothingBeyond) {
    WriteDefault(180, 5);
    WriteLabels(QStringLiteral("MR_Kopf.vmr"));
    const QString full = dir.Write(QStringLiteral("voll.vmr"), zxtest::Pattern(256 * 65536, 7));
    WriteLabels(QStringLiteral("voll.vmr"));
    Start();
    ASSERT_TRUE(zxtest::Component<zx::TLearning>(form)->RegionenEinfaerben1->isEnabled());
    zxtest::Component<zx::TLearning>(form)->RegionenEinfaerben1->setChecked(true);
    for (const int planes : {180, 256}) {
        if (planes == 256) Drop({full});
        ASSERT_EQ(form->SliceCount, planes);
        const int o = form->SliceOffset;
        ASSERT_EQ(o, (256 - planes) / 2);
        MoveTo(5, 120, 120);          // inside the region: it is outlined
        const int last = planes - 1;  // planes 170 … last carry the label
        for (const QImage* layer : {&form->Image2->Layer(), &form->Image3->Layer()}) {
            ASSERT_EQ(layer->size(), QSize(256, 256)) << planes;
            const int r = 120;  // a row inside the region in both views
            if (o > 0) {
                EXPECT_EQ(Kind(*layer, o - 1, r), 0) << planes;
            }
            EXPECT_EQ(Kind(*layer, o, r), 2) << planes;  // plane 0: its left edge
            EXPECT_EQ(Kind(*layer, o + 1, r), 1) << planes;
            EXPECT_EQ(Kind(*layer, o + 9, r), 2) << planes;  // plane 9
            EXPECT_EQ(Kind(*layer, o + 10, r), 0) << planes;
            EXPECT_EQ(Kind(*layer, o + 169, r), 0) << planes;
            EXPECT_EQ(Kind(*layer, o + 170, r), 2) << planes;
            EXPECT_EQ(Kind(*layer, o + 171, r), 1) << planes;
            EXPECT_EQ(Kind(*layer, o + last, r), 2) << planes;  // the last plane shown
            if (o + last < 255) {
                EXPECT_EQ(Kind(*layer, o + last + 1, r), 0) << planes;
            }
            EXPECT_EQ(Kind(*layer, o + 5, 99), 0) << planes;
            EXPECT_EQ(Kind(*layer, o + 5, 100), 2) << planes;
            EXPECT_EQ(Kind(*layer, o + 5, 101), 1) << planes;
        }
    }
}

}  // namespace
