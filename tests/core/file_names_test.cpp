// The names of the files beside a volume file: the extension of the file
// name is replaced, folder names are left alone.
#include "core/volume/file_names.h"

#include <gtest/gtest.h>

#include <string_view>

namespace {

using namespace std::string_view_literals;

TEST(FileBeside, TheFileNamesExtensionIsReplacedOrAppended) {
    EXPECT_EQ(zx::ReplaceExtension("/daten/kopf.vmr"sv, ".zxi"sv), "/daten/kopf.zxi");
    EXPECT_EQ(zx::ReplaceExtension("kopf.alt.vmr"sv, ".aal.vmr"sv),
              "kopf.alt.aal.vmr");  // the last dot only
    EXPECT_EQ(zx::ReplaceExtension("/daten/mr.2024/kopf"sv, ".zxm"sv), "/daten/mr.2024/kopf.zxm");
    EXPECT_EQ(zx::ReplaceExtension("/daten/.vmr"sv, ".zxi"sv), "/daten/.zxi");
    // The viewer's paths keep every character.
    EXPECT_EQ(zx::ReplaceExtension(QStringLiteral("/Schädel/Köpfe.vmr"), QStringLiteral(".zxm")),
              QStringLiteral("/Schädel/Köpfe.zxm"));
}

}  // namespace
