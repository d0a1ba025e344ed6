#!/usr/bin/env bash
# Times VTK's CPU ray caster (vtkFixedPointVolumeRayCastMapper, composite
# with shading, SIZE × SIZE, default 256) on the head the 3-D benchmarks
# use, beside BM_Render3D/SIZE and BM_Render3DMip of zerebrix_bench.
#
#   scripts/compare_vtk_render.sh [BUILD_DIR] [FRAMES] [SIZE]
#
# The head: Debian's T1 head (mricron-data) converted with zxconvert nifti,
# or the phantom without it, as in the benchmarks. VTK's Python bindings
# (python3-vtk9) are needed for this comparison only, never by the program:
#   apt-get install python3-vtk9
# Wall time depends on what else the machine runs; the CPU time of all
# threads per frame (both sides report it) is the steadier figure.
# Both renderers get the same opacity ramp (Otsu threshold of the histogram
# as RampFromHistogram chooses it), one sample per voxel step, one ray per
# pixel, an orthographic camera at azimuth 30°, elevation 20°.
set -euo pipefail

BUILD=${1:-build/ci}
FRAMES=${2:-30}
SIZE=${3:-256}
# Debian's interpreter, where python3-vtk9 installs the bindings.
PY=${PYTHON:-/usr/bin/python3}
"$PY" -c 'import vtkmodules' 2>/dev/null || {
  echo "compare_vtk_render: VTK for Python is missing (apt-get install python3-vtk9)" >&2
  exit 1
}
[ -x "$BUILD/zxconvert" ] || { echo "compare_vtk_render: $BUILD/zxconvert not built" >&2; exit 1; }

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
HEAD=/usr/share/mricron/templates/ch2.nii.gz
if [ -f "$HEAD" ]; then
  "$BUILD/zxconvert" nifti "$HEAD" "$WORK/head.vmr"
  NAME=ch2
else
  "$BUILD/zxconvert" phantom "$WORK/head.vmr"
  NAME=phantom
fi

cat > "$WORK/vtk_time.py" <<'EOF'
import os, sys, time
import vtkmodules.all as vtk

path, frames, size = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
planes = os.path.getsize(path) // 65536
# File byte x*65536 + z*256 + y: y fastest, then z, then x.
reader = vtk.vtkImageReader2()
reader.SetFileName(path)
reader.SetFileDimensionality(3)
reader.FileLowerLeftOn()  # rows as stored: VTK y is the viewer's z
reader.SetDataScalarTypeToUnsignedChar()
reader.SetDataExtent(0, 255, 0, 255, 0, planes - 1)
reader.SetDataSpacing(1, 1, 1)
reader.Update()

# Otsu threshold over the histogram, as RampFromHistogram.
acc = vtk.vtkImageAccumulate()
acc.SetInputConnection(reader.GetOutputPort())
acc.SetComponentExtent(0, 255, 0, 0, 0, 0)
acc.SetComponentOrigin(0, 0, 0)
acc.SetComponentSpacing(1, 1, 1)
acc.Update()
hist = [acc.GetOutput().GetPointData().GetScalars().GetTuple1(i) for i in range(256)]
total = sum(hist)
s = sum(i * h for i, h in enumerate(hist))
w0 = s0 = 0.0
best, low = -1.0, 40
for t in range(255):
    w0 += hist[t]; s0 += t * hist[t]
    w1 = total - w0
    if w0 <= 0 or w1 <= 0:
        continue
    m0, m1 = s0 / w0, (s - s0) / w1
    between = w0 * w1 * (m0 - m1) ** 2
    if between > best:
        best, low = between, t
low = min(max(low, 1), 250)
high = min(255, low + max(8, low // 2))

opacity = vtk.vtkPiecewiseFunction()
opacity.AddPoint(0, 0.0)
opacity.AddPoint(low, 0.0)
opacity.AddPoint(high, 1.0)
opacity.AddPoint(255, 1.0)
colour = vtk.vtkColorTransferFunction()
colour.AddRGBPoint(0, 0.93, 0.81, 0.70)
colour.AddRGBPoint(255, 0.93, 0.81, 0.70)
prop = vtk.vtkVolumeProperty()
prop.SetScalarOpacity(opacity)
prop.SetColor(colour)
prop.SetInterpolationTypeToLinear()
prop.ShadeOn()
prop.SetAmbient(0.18)
prop.SetDiffuse(0.82)
prop.SetSpecular(0.25)

mapper = vtk.vtkFixedPointVolumeRayCastMapper()
mapper.SetInputConnection(reader.GetOutputPort())
mapper.SetBlendModeToComposite()
mapper.AutoAdjustSampleDistancesOff()
mapper.SetSampleDistance(1.0)
mapper.SetImageSampleDistance(1.0)
volume = vtk.vtkVolume()
volume.SetMapper(mapper)
volume.SetProperty(prop)

ren = vtk.vtkRenderer()
ren.AddVolume(volume)
win = vtk.vtkRenderWindow()
win.SetOffScreenRendering(1)
win.AddRenderer(ren)
win.SetSize(size, size)
cam = ren.GetActiveCamera()
cam.ParallelProjectionOn()
cam.SetFocalPoint(127.5, 127.5, (planes - 1) / 2)
# VTK's axes are (y, z, x) of the viewer's: from anterior (low y), superior
# (low z) up.
cam.SetPosition(127.5 - 600, 127.5, (planes - 1) / 2)
cam.SetViewUp(0, -1, 0)
cam.SetParallelScale(128)
cam.Azimuth(30)
cam.Elevation(20)
cam.OrthogonalizeViewUp()
ren.ResetCameraClippingRange()

def frame(label, n):
    times, cpu = [], 0.0
    for _ in range(n):
        cam.Azimuth(0.25)
        t, c = time.perf_counter(), time.process_time()
        win.Render()
        times.append(time.perf_counter() - t)
        cpu += time.process_time() - c
    times.sort()
    # CPU: all threads of the process, per frame; beside the wall time it
    # shows how much of a busy machine the frame really needed.
    print("%-24s wall median %6.1f ms  min %6.1f ms  CPU %6.1f ms  (%d frames)"
          % (label, 1000 * times[len(times) // 2], 1000 * times[0], 1000 * cpu / n, n))

mapper.SetBlendModeToComposite()
frame("warm-up", 3)
frame("VTK composite+shading", frames)
mapper.SetBlendModeToMaximumIntensity()
frame("VTK MIP", frames)
if len(sys.argv) > 4:
    mapper.SetBlendModeToComposite()
    win.Render()
    grab = vtk.vtkWindowToImageFilter()
    grab.SetInput(win)
    png = vtk.vtkPNGWriter()
    png.SetInputConnection(grab.GetOutputPort())
    png.SetFileName(sys.argv[4])
    png.Write()
EOF

echo "head: $NAME, ${SIZE}², $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg)"
RUN=("$PY" "$WORK/vtk_time.py" "$WORK/head.vmr" "$FRAMES" "$SIZE" ${VTK_PNG:+"$VTK_PNG"})
if [ -z "${DISPLAY:-}" ] && command -v xvfb-run >/dev/null; then
  xvfb-run -a -s "-screen 0 1280x1024x24" "${RUN[@]}"
else
  "${RUN[@]}"
fi
if [ -x "$BUILD/bench/zerebrix_bench" ]; then
  QT_QPA_PLATFORM=offscreen "$BUILD/bench/zerebrix_bench" \
    --benchmark_filter="BM_Render3D/$SIZE|BM_Render3DMip/"  --benchmark_repetitions=3 \
    --benchmark_report_aggregates_only=true
else
  echo "compare_vtk_render: $BUILD/bench/zerebrix_bench not built, ours not timed" >&2
fi
