#include "teach/lesson_output.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>

#include "core/volume/runtime_error.h"

namespace zx {

namespace {

QString S(const char* utf8) { return QString::fromUtf8(utf8); }

const char* const kViewKeys[] = {"sag", "cor", "tra"};
const char* const kViewTitles[] = {"Sagittal", "Koronar", "Transversal"};
const char* const kAxes[] = {"x", "y", "z"};

void WriteFile(const QString& path, const QByteArray& bytes) {
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size() || !f.commit())
        throw RuntimeError(S("Datei %1 kann nicht erstellt werden").arg(path));
}

QString Letter(int i) { return QString(QChar(u'a' + i)); }

/// The atlas of a region question among the loaded ones, or -1.
int AtlasIndex(LessonVolume& v, const QString& key) {
    if (!v.atlasesLoaded) {
        v.atlases.Load(v.file);
        v.atlasesLoaded = true;
    }
    for (const AtlasKind& k : kAtlases)
        if (key == QLatin1String(k.key))
            for (int i = 0; i < v.atlases.Count(); ++i)
                if (v.atlases.Title(i) == QString::fromUtf8(k.title)) return i;
    return -1;
}

/// Text in `box` from its top, wrapped; returns the height it took.
int DrawWrapped(QPainter& p, const QRect& box, const QString& text, int flags = 0) {
    const QRect used = p.boundingRect(box, Qt::TextWordWrap | flags, text);
    p.drawText(box, Qt::TextWordWrap | flags, text);
    return used.height();
}

void SetFont(QPainter& p, int points, bool bold) {
    QFont f(QStringLiteral("Liberation Sans"));
    f.setPointSize(points);
    f.setBold(bold);
    p.setFont(f);
}

QString QuestionText(const LessonQuestion& q) {
    QString t = S("Frage: ") + q.prompt;
    if (q.kind == LessonQuestion::Choice)
        for (int i = 0; i < q.options.size(); ++i)
            t += u'\n' + Letter(i) + QStringLiteral(") ") + q.options[i];
    return t;
}

}  // namespace

QString StopPictureName(int n, int view) {
    return QStringLiteral("stop%1_%2.png").arg(n).arg(QLatin1String(kViewKeys[view - 1]));
}

QString AnswerText(const LessonQuestion& q, LessonVolume& v) {
    switch (q.kind) {
        case LessonQuestion::Point:
            return S("Punkt x %1, y %2, z %3 (bis %4 mm daneben gilt)")
                .arg(q.answer[0])
                .arg(q.answer[1])
                .arg(q.answer[2])
                .arg(q.radiusMm);
        case LessonQuestion::Choice:
            return Letter(q.choice) + QStringLiteral(") ") + q.options.value(q.choice);
        case LessonQuestion::Region: {
            const int a = AtlasIndex(v, q.atlas);
            return a >= 0 ? v.atlases.Title(a) + QStringLiteral(": ") + v.atlases.Name(a, q.region)
                          : S("Region %1 (%2)").arg(q.region).arg(q.atlas);
        }
    }
    return {};
}

void PaintHandout(QPagedPaintDevice& device, LessonVolume& v, const Lesson& lesson) {
    QPainter p(&device);
    if (!p.isActive()) throw RuntimeError(S("Die Handreichung kann nicht gezeichnet werden"));
    const int W = device.width(), H = device.height();
    const int dpi = device.logicalDpiY();
    const int gap = dpi / 6;
    int n = 0;
    for (const LessonStop& s : lesson.stops) {
        ++n;
        if (n > 1) device.newPage();
        int y = 0;
        SetFont(p, 9, false);
        p.setPen(Qt::darkGray);
        y +=
            DrawWrapped(p, QRect(0, y, W, H),
                        S("%1 – Halt %2 von %3").arg(lesson.title).arg(n).arg(lesson.stops.size()));
        p.setPen(Qt::black);
        SetFont(p, 16, true);
        y += gap / 2 + DrawWrapped(p, QRect(0, y + gap / 2, W, H), s.title);
        SetFont(p, 11, false);
        y += gap + DrawWrapped(p, QRect(0, y + gap, W, H), s.text);
        y += gap;
        const std::array<QImage, 3> pics = StopPictures(v, s);
        const int side = (W - 2 * gap) / 3;
        SetFont(p, 9, false);
        for (int k = 0; k < 3; ++k) {
            const QRect target(k * (side + gap), y, side, side);
            p.drawImage(target, pics[std::size_t(k)]);
            p.drawText(QRect(target.left(), target.bottom() + gap / 4, side, dpi / 4),
                       Qt::AlignHCenter | Qt::AlignTop,
                       S("%1 (%2 = %3)")
                           .arg(S(kViewTitles[k]))
                           .arg(QLatin1String(kAxes[k]))
                           .arg(s.point[std::size_t(k)]));
        }
        y += side + dpi / 4 + gap;
        if (s.question) {
            SetFont(p, 11, true);
            DrawWrapped(p, QRect(0, y, W, H - y), QuestionText(*s.question));
        }
    }
    if (n > 0) device.newPage();
    int y = 0;
    SetFont(p, 16, true);
    y += gap + DrawWrapped(p, QRect(0, 0, W, H), S("Lösungen"));
    SetFont(p, 11, false);
    int asked = 0;
    n = 0;
    for (const LessonStop& s : lesson.stops) {
        ++n;
        if (!s.question) continue;
        ++asked;
        y += gap / 2 +
             DrawWrapped(p, QRect(0, y, W, H - y),
                         S("Halt %1 (%2): %3\n%4")
                             .arg(n)
                             .arg(s.title, s.question->prompt, AnswerText(*s.question, v)));
    }
    if (asked == 0) DrawWrapped(p, QRect(0, y, W, H - y), S("Diese Lektion stellt keine Fragen."));
}

void WriteHandoutPdf(const QString& path, LessonVolume& v, const Lesson& lesson) {
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        throw RuntimeError(S("Datei %1 kann nicht erstellt werden").arg(path));
    {
        QPdfWriter pdf(&f);
        pdf.setTitle(lesson.title);
        pdf.setCreator(QStringLiteral("Zerebrix-MR"));
        pdf.setPageSize(QPageSize(QPageSize::A4));
        pdf.setPageMargins(QMarginsF(18, 18, 18, 18), QPageLayout::Millimeter);
        pdf.setResolution(300);
        PaintHandout(pdf, v, lesson);
    }
    if (!f.commit()) throw RuntimeError(S("Datei %1 kann nicht erstellt werden").arg(path));
}

namespace {

/// The page: German, plain HTML, CSS and JavaScript; the data comes from
/// lesson.js beside it, so that it opens from the file system.
const char kIndexHtml[] = R"HTML(<!DOCTYPE html>
<html lang="de">
<head>
<meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>Lektion</title>
<style>
body { font-family: "Liberation Sans", Arial, sans-serif; margin: 1.5em; background: #f4f4f0; color: #222; }
h1 { font-size: 1.3em; color: #555; margin: 0 0 .4em; }
h2 { margin: .4em 0; }
nav { display: flex; gap: 1em; align-items: center; margin: .5em 0; }
button { font-size: 1em; padding: .3em .9em; }
#sections { display: flex; flex-wrap: wrap; gap: 12px; margin: 1em 0; }
figure { margin: 0; text-align: center; }
figure img { width: 256px; height: 256px; image-rendering: pixelated; background: #000; display: block; }
figure img.clickable { cursor: crosshair; }
#question { background: #fff; border: 1px solid #ccc; padding: .6em 1em; max-width: 800px; }
#question[hidden] { display: none; }
.right { color: #1a7a1a; font-weight: bold; }
.wrong { color: #b02020; font-weight: bold; }
#text { max-width: 800px; line-height: 1.4; }
</style>
</head>
<body>
<h1 id="lesson-title"></h1>
<nav>
<button id="back" type="button">Zurück</button>
<span id="position"></span>
<button id="next" type="button">Weiter</button>
</nav>
<h2 id="title"></h2>
<p id="text"></p>
<div id="sections">
<figure><img id="view1" alt="Sagittalschnitt"><figcaption id="caption1">Sagittal</figcaption></figure>
<figure><img id="view2" alt="Koronarschnitt"><figcaption id="caption2">Koronar</figcaption></figure>
<figure><img id="view3" alt="Transversalschnitt"><figcaption id="caption3">Transversal</figcaption></figure>
</div>
<div id="question" hidden>
<p id="prompt"></p>
<div id="options"></div>
<p id="verdict"></p>
</div>
<p id="score"></p>
<noscript>Diese Seite braucht JavaScript.</noscript>
<script src="lesson.js"></script>
<script>
(function () {
  "use strict";
  var L = window.ZX_LESSON;
  var names = ["Sagittal", "Koronar", "Transversal"], axes = ["x", "y", "z"];
  var answers = {};
  var current = 0;
  function $(id) { return document.getElementById(id); }
  function fromHash() {
    var m = /stop=(\d+)/.exec(window.location.hash);
    var n = m ? parseInt(m[1], 10) : 1;
    return Math.min(Math.max(n, 1), L.stops.length) - 1;
  }
  function answerable(q) { return q && (q.kind !== "region" || q.regions); }
  function asked() { return L.stops.filter(function (s) { return answerable(s.question); }).length; }
  function showScore() {
    var right = 0, done = 0;
    Object.keys(answers).forEach(function (k) { done++; if (answers[k]) right++; });
    var total = asked();
    $("score").textContent = total === 0 ? "" :
      (done === total ? "Ergebnis: " : "Bisher: ") + right + " von " + total + " Fragen richtig";
  }
  function judge(right, text) {
    if (!(current in answers)) answers[current] = right;
    var v = $("verdict");
    v.className = right ? "right" : "wrong";
    v.textContent = text;
    showScore();
  }
  function voxelAt(view, c, r, s) {
    var off = Math.floor((256 - L.planes) / 2);
    if (view === 1) return [s.point[0], c, r];
    if (view === 2) return [c - off, s.point[1], r];
    return [c - off, r, s.point[2]];
  }
  function clickPicture(view, e) {
    var s = L.stops[current], q = s.question;
    if (!q || !(q.kind === "point" || (q.kind === "region" && q.regions))) return;
    var box = e.target.getBoundingClientRect();
    var c = Math.floor((e.clientX - box.left) * 256 / box.width);
    var r = Math.floor((e.clientY - box.top) * 256 / box.height);
    if (s.neurological && view > 1) c = 255 - c;
    if (q.kind === "region") {
      var runs = q.regions[view - 1], inside = false;
      for (var k = 0; k < runs.length; k += 3)
        if (runs[k] === r && runs[k + 1] <= c && c <= runs[k + 2]) inside = true;
      judge(inside, inside ? "Richtig!" : "Nicht ganz: das ist nicht die gesuchte Region.");
      return;
    }
    var p = voxelAt(view, c, r, s);
    var d = Math.sqrt(Math.pow(p[0] - q.answer[0], 2) + Math.pow(p[1] - q.answer[1], 2) +
                      Math.pow(p[2] - q.answer[2], 2)) * (L.edge_mm > 0 ? L.edge_mm : 1);
    judge(d <= q.radius_mm, d <= q.radius_mm ? "Richtig!" :
          "Nicht ganz: " + d.toFixed(1).replace(".", ",") + " mm daneben.");
  }
  function show(i) {
    current = i;
    var s = L.stops[i];
    document.title = L.title + " – " + s.title;
    $("lesson-title").textContent = L.title;
    $("position").textContent = "Halt " + (i + 1) + " von " + L.stops.length;
    $("title").textContent = s.title;
    $("text").textContent = s.text;
    for (var v = 1; v <= 3; v++) {
      var img = $("view" + v);
      img.src = s.pictures[v - 1];
      img.className = answerable(s.question) && s.question.kind !== "choice" ? "clickable" : "";
      $("caption" + v).textContent = names[v - 1] + " (" + axes[v - 1] + " = " + s.point[v - 1] + ")";
    }
    $("back").disabled = i === 0;
    $("next").disabled = i === L.stops.length - 1;
    var q = s.question, box = $("question"), opts = $("options");
    opts.textContent = "";
    $("verdict").textContent = "";
    $("verdict").className = "";
    box.hidden = !q;
    if (q) {
      $("prompt").textContent = q.prompt;
      if (q.kind === "point" || q.regions) {
        $("verdict").textContent = "Klicken Sie in ein Schnittbild.";
      } else if (q.kind === "choice") {
        q.options.forEach(function (o, k) {
          var b = document.createElement("button");
          b.type = "button";
          b.className = "choice";
          b.textContent = String.fromCharCode(97 + k) + ") " + o;
          b.addEventListener("click", function () {
            judge(k === q.answer, k === q.answer ? "Richtig!" :
                  "Leider falsch. Richtig ist " + String.fromCharCode(97 + q.answer) + ").");
          });
          opts.appendChild(b);
          opts.appendChild(document.createTextNode(" "));
        });
      } else {
        $("verdict").textContent = "Diese Frage wird im Betrachter beantwortet.";
      }
    }
    showScore();
    var hash = "#stop=" + (i + 1);
    if (window.location.hash !== hash) history.replaceState(null, "", hash);
  }
  function go(d) {
    var i = current + d;
    if (i >= 0 && i < L.stops.length) show(i);
  }
  $("back").addEventListener("click", function () { go(-1); });
  $("next").addEventListener("click", function () { go(1); });
  for (var v = 1; v <= 3; v++)
    (function (view) { $("view" + view).addEventListener("click", function (e) { clickPicture(view, e); }); })(v);
  document.addEventListener("keydown", function (e) {
    if (e.key === "ArrowLeft") go(-1);
    if (e.key === "ArrowRight") go(1);
  });
  window.addEventListener("hashchange", function () { show(fromHash()); });
  if (L.stops.length === 0) { $("title").textContent = "Diese Lektion hat keine Halte."; return; }
  show(fromHash());
})();
</script>
</body>
</html>
)HTML";

/// Where region `label` of atlas `a` lies in the three pictures at
/// `point`: per view the runs of its pixels, flat as row, first and last
/// column (of the unmirrored picture), so the page can judge a click.
QJsonArray RegionRuns(LessonVolume& v, int a, int label, const std::array<int, 3>& point) {
    QJsonArray views;
    for (int view = 1; view <= 3; ++view) {
        QJsonArray runs;
        for (int r = 0; r < 256; ++r) {
            int start = -1;
            for (int c = 0; c <= 256; ++c) {
                bool in = false;
                if (c < 256) {
                    const auto p = VoxelAt(view, c, r, point, v.planes);
                    in = p[0] >= 0 && p[0] < v.planes &&
                         v.atlases.Label(a, p[0], p[1], p[2]) == label;
                }
                if (in && start < 0) start = c;
                if (!in && start >= 0) {
                    runs.append(r);
                    runs.append(start);
                    runs.append(c - 1);
                    start = -1;
                }
            }
        }
        views.append(runs);
    }
    return views;
}

}  // namespace

void WriteLessonWeb(const QString& folder, LessonVolume& v, const Lesson& lesson) {
    if (!QDir().mkpath(folder))
        throw RuntimeError(S("Der Ordner %1 kann nicht angelegt werden").arg(folder));
    const QDir dir(folder);
    QJsonArray stops;
    int n = 0;
    for (const LessonStop& s : lesson.stops) {
        ++n;
        const std::array<QImage, 3> pics = StopPictures(v, s);
        QJsonArray names;
        for (int k = 1; k <= 3; ++k) {
            const QString name = StopPictureName(n, k);
            QSaveFile f(dir.filePath(name));
            if (!f.open(QIODevice::WriteOnly) || !pics[std::size_t(k - 1)].save(&f, "PNG", 80) ||
                !f.commit())
                throw RuntimeError(
                    S("Datei %1 kann nicht erstellt werden").arg(dir.filePath(name)));
            names.append(name);
        }
        QJsonObject o{{QStringLiteral("title"), s.title},
                      {QStringLiteral("text"), s.text},
                      {QStringLiteral("point"), QJsonArray{s.point[0], s.point[1], s.point[2]}},
                      {QStringLiteral("neurological"), ViewOfStop(s).neurological},
                      {QStringLiteral("pictures"), names}};
        if (s.question) {
            const LessonQuestion& q = *s.question;
            QJsonObject jq{{QStringLiteral("prompt"), q.prompt}};
            if (q.kind == LessonQuestion::Point) {
                jq.insert(QStringLiteral("kind"), QStringLiteral("point"));
                jq.insert(QStringLiteral("answer"),
                          QJsonArray{q.answer[0], q.answer[1], q.answer[2]});
                jq.insert(QStringLiteral("radius_mm"), q.radiusMm);
            } else if (q.kind == LessonQuestion::Choice) {
                jq.insert(QStringLiteral("kind"), QStringLiteral("choice"));
                jq.insert(QStringLiteral("options"), QJsonArray::fromStringList(q.options));
                jq.insert(QStringLiteral("answer"), q.choice);
            } else {
                jq.insert(QStringLiteral("kind"), QStringLiteral("region"));
                const int a = AtlasIndex(v, q.atlas);
                if (a >= 0)
                    jq.insert(QStringLiteral("regions"), RegionRuns(v, a, q.region, s.point));
            }
            o.insert(QStringLiteral("question"), jq);
        }
        stops.append(o);
    }
    const QJsonObject data{{QStringLiteral("title"), lesson.title},
                           {QStringLiteral("planes"), v.planes},
                           {QStringLiteral("edge_mm"), v.edgeMm},
                           {QStringLiteral("stops"), stops}};
    WriteFile(dir.filePath(QStringLiteral("lesson.js")),
              "window.ZX_LESSON = " + QJsonDocument(data).toJson(QJsonDocument::Compact) + ";\n");
    WriteFile(dir.filePath(QStringLiteral("index.html")), QByteArray(kIndexHtml));
}

}  // namespace zx
