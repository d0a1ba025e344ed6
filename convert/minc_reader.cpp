// MINC 1 and 2 files (NetCDF or HDF5), read through Debian's libminc inside
// the reader program: the viewer never links libminc and its HDF5, and a
// crash in them on a damaged file ends only the reader. The image is read
// plane by plane as real values (the file's scaling applied) and handed to
// the one conversion pipeline. MINC's world is RAS; each spatial
// dimension's direction cosines times its (signed) step give its column.
#include <minc2.h>

#include <cstring>
#include <string>
#include <vector>

#include "convert/dicom_result.h"
#include "convert/plane_stream.h"
#include "convert/raw_image.h"

namespace zx {
namespace {

template <std::size_t N>
void Put(char (&field)[N], const std::string& text) {
    const std::size_t n = std::min(text.size(), sizeof field - 1);
    std::memcpy(field, text.data(), n);
    field[n] = '\0';
}

struct Volume {
    mihandle_t handle = nullptr;
    ~Volume() {
        if (handle) miclose_volume(handle);
    }
};

}  // namespace

void FillMincResult(const std::string& path, int volume, DicomSeriesResult& result) {
    const std::string what = path + ": ist eine MINC-Datei, aber ";
    try {
        Volume v;
        if (miopen_volume(path.c_str(), MI2_OPEN_READ, &v.handle) != MI_NOERROR) {
            v.handle = nullptr;
            throw ConvertError(what + "libminc kann sie nicht öffnen (beschädigt?)");
        }
        int count = 0;
        if (miget_volume_dimension_count(v.handle, MI_DIMCLASS_ANY, MI_DIMATTR_ALL, &count) !=
                MI_NOERROR ||
            count < 1 || count > 8)
            throw ConvertError(what + "ihre Dimensionen sind unlesbar");
        std::vector<midimhandle_t> dims(static_cast<std::size_t>(count));
        if (miget_volume_dimensions(v.handle, MI_DIMCLASS_ANY, MI_DIMATTR_ALL, MI_DIMORDER_FILE,
                                    count, dims.data()) < 0)
            throw ConvertError(what + "ihre Dimensionen sind unlesbar");
        std::vector<misize_t> sizes(static_cast<std::size_t>(count));
        if (miget_dimension_sizes(dims.data(), misize_t(count), sizes.data()) != MI_NOERROR)
            throw ConvertError(what + "ihre Bildgröße ist unlesbar");
        // File order: slowest first. Array axis 0 is the fastest spatial one.
        std::vector<int> spatial;
        int time = -1;
        for (int d = 0; d < count; ++d) {
            char* name = nullptr;
            if (miget_dimension_name(dims[std::size_t(d)], &name) != MI_NOERROR || !name)
                throw ConvertError(what + "ihre Dimensionen sind unlesbar");
            const std::string n = name;
            mifree_name(name);
            if (n == "xspace" || n == "yspace" || n == "zspace")
                spatial.push_back(d);
            else if (n == "time")
                time = d;
            else if (sizes[std::size_t(d)] > 1)
                throw ConvertError(what + "sie hat mehrere Werte je Voxel („" + n +
                                   "“); gelesen werden Bilder mit einem Wert je Voxel");
        }
        if (spatial.size() != 3)
            throw ConvertError(what + "sie hat nicht drei räumliche Dimensionen");
        RawImage image;
        for (int a = 0; a < 3; ++a) {
            const int d = spatial[std::size_t(2 - a)];
            image.dims[std::size_t(a)] = std::int64_t(sizes[std::size_t(d)]);
            double step = 1, cosines[3] = {0, 0, 0};
            miget_dimension_separation(dims[std::size_t(d)], MI_ORDER_FILE, &step);
            if (miget_dimension_cosines(dims[std::size_t(d)], cosines) != MI_NOERROR)
                throw ConvertError(what + "ihre Achsenrichtungen sind unlesbar");
            for (int w = 0; w < 3; ++w)
                image.voxelToWorld[std::size_t(w)][std::size_t(a)] = cosines[w] * step;
        }
        image.volumes = time >= 0 ? std::uint64_t(sizes[std::size_t(time)]) : 1;
        if (volume < 1 || std::uint64_t(volume) > image.volumes)
            throw ConvertError(what + "Volumen " + std::to_string(volume) +
                               " gibt es nicht: die Datei hat " + std::to_string(image.volumes) +
                               " Volumen");
        VolumeBytes(image.dims, 4, path);  // "Datei zu groß" beyond 2 GiB of floats
        const std::uint64_t planeValues =
            std::uint64_t(image.dims[0]) * std::uint64_t(image.dims[1]);
        if (planeValues > (std::uint64_t{16} << 20))
            throw ConvertError(path +
                               ": Datei zu groß: eine Schicht hat mehr als 64 MiB Bilddaten");

        std::memset(result.voxels, 0, sizeof result.voxels);
        PlaneStream stream(image.dims, image.voxelToWorld, path, std::nullopt, result.voxels);
        std::vector<float> plane(planeValues);
        std::vector<misize_t> start(static_cast<std::size_t>(count), 0), extent(sizes);
        if (time >= 0) {
            start[std::size_t(time)] = misize_t(volume - 1);
            extent[std::size_t(time)] = 1;
        }
        const int slowest = spatial[0];
        extent[std::size_t(slowest)] = 1;
        for (std::int64_t k = 0; k < image.dims[2]; ++k) {
            start[std::size_t(slowest)] = misize_t(k);
            if (miget_real_value_hyperslab(v.handle, MI_TYPE_FLOAT, start.data(), extent.data(),
                                           plane.data()) != MI_NOERROR)
                throw ConvertError(what + "ihre Bilddaten sind unlesbar (abgeschnitten?)");
            stream.Add(k, plane.data(), Scaling{});
        }
        const ConvertedVolume out = stream.Finish();
        result.planes = out.planes;
        result.edge = out.voxelEdgeMm;
        result.volumes = image.volumes;
        Put(result.notice, image.volumes > 1 ? VolumeNotice(volume, image.volumes) : std::string());
        result.status = 0;
    } catch (const ConvertError& e) {
        Put(result.message, e.what());
        result.status = 1;
    }
}

}  // namespace zx
