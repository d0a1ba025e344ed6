#include "teach/lesson.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSaveFile>
#include <cmath>

#include "core/volume/runtime_error.h"

namespace zx {

namespace {

QString S(const char* utf8) { return QString::fromUtf8(utf8); }

[[noreturn]] void Bad(const QString& what) {
    throw RuntimeError(S("Die Lektion ist fehlerhaft: ") + what);
}

bool InPicture(double v) { return v >= 0 && v <= 255; }

std::optional<QPointF> PointFrom(const QJsonValue& v) {
    const QJsonArray a = v.toArray();
    if (a.size() != 2 || !a[0].isDouble() || !a[1].isDouble()) return {};
    const QPointF p(a[0].toDouble(), a[1].toDouble());
    if (!InPicture(p.x()) || !InPicture(p.y())) return {};
    return p;
}

QJsonArray PointJson(const QPointF& p) { return {p.x(), p.y()}; }

/// Three whole numbers 0…255, or none.
std::optional<std::array<int, 3>> VoxelFrom(const QJsonValue& v) {
    const QJsonArray a = v.toArray();
    if (a.size() != 3) return {};
    std::array<int, 3> p{};
    for (int k = 0; k < 3; ++k) {
        const double d = a[k].toDouble(-1);
        if (!a[k].isDouble() || d != std::floor(d) || d < 0 || d > 255) return {};
        p[std::size_t(k)] = int(d);
    }
    return p;
}

QJsonArray VoxelJson(const std::array<int, 3>& p) { return {p[0], p[1], p[2]}; }

// The fields of a stop in the file and the component states they carry.
// The file keeps the short forms teachers write by hand; the viewer's
// components read their own forms.
const QString kWindow = QStringLiteral("window"), kOrientation = QStringLiteral("orientation"),
              kAtlas = QStringLiteral("atlas"), kAnnotations = QStringLiteral("annotations"),
              kRulers = QStringLiteral("rulers"), kMeasurements = QStringLiteral("measurements"),
              kNeurological = QStringLiteral("neurological"),
              kComponents = QStringLiteral("components");

LessonQuestion QuestionFrom(const QJsonObject& o, int stop) {
    const QString where = S("Frage von Halt %1").arg(stop);
    LessonQuestion q;
    const QString kind = o.value(QStringLiteral("kind")).toString();
    q.prompt = o.value(QStringLiteral("prompt")).toString();
    if (kind == QLatin1String("point")) {
        q.kind = LessonQuestion::Point;
        const auto a = VoxelFrom(o.value(QStringLiteral("answer")));
        if (!a) Bad(where + S(": „answer“ muss drei ganze Zahlen von 0 bis 255 enthalten"));
        q.answer = *a;
        const QJsonValue r = o.value(QStringLiteral("radius_mm"));
        if (r.isDouble()) q.radiusMm = r.toDouble();
        if (!(q.radiusMm > 0)) Bad(where + S(": „radius_mm“ muss größer als 0 sein"));
    } else if (kind == QLatin1String("region")) {
        q.kind = LessonQuestion::Region;
        q.atlas = o.value(kAtlas).toString();
        q.region = o.value(QStringLiteral("region")).toInt(0);
        if (q.region < 1 || q.region > 255)
            Bad(where + S(": „region“ muss eine Regionsnummer von 1 bis 255 sein"));
    } else if (kind == QLatin1String("choice")) {
        q.kind = LessonQuestion::Choice;
        for (const QJsonValue& v : o.value(QStringLiteral("options")).toArray())
            q.options << v.toString();
        q.choice = o.value(QStringLiteral("answer")).toInt(-1);
        if (q.options.size() < 2 || q.choice < 0 || q.choice >= q.options.size())
            Bad(where + S(": „options“ braucht zwei Antworten, „answer“ die Nummer einer davon"));
    } else {
        Bad(where + S(": unbekannte Art „%1“").arg(kind));
    }
    q.extra = o;
    for (const char* k : {"kind", "prompt", "answer", "radius_mm", "atlas", "region", "options"})
        q.extra.remove(QLatin1String(k));
    return q;
}

QJsonObject QuestionJson(const LessonQuestion& q) {
    QJsonObject o = q.extra;
    o.insert(QStringLiteral("prompt"), q.prompt);
    switch (q.kind) {
        case LessonQuestion::Point:
            o.insert(QStringLiteral("kind"), QStringLiteral("point"));
            o.insert(QStringLiteral("answer"), VoxelJson(q.answer));
            o.insert(QStringLiteral("radius_mm"), q.radiusMm);
            break;
        case LessonQuestion::Region:
            o.insert(QStringLiteral("kind"), QStringLiteral("region"));
            o.insert(kAtlas, q.atlas);
            o.insert(QStringLiteral("region"), q.region);
            break;
        case LessonQuestion::Choice:
            o.insert(QStringLiteral("kind"), QStringLiteral("choice"));
            o.insert(QStringLiteral("options"), QJsonArray::fromStringList(q.options));
            o.insert(QStringLiteral("answer"), q.choice);
            break;
    }
    return o;
}

LessonStop StopFrom(const QJsonObject& o, int number) {
    LessonStop s;
    s.title = o.value(QStringLiteral("title")).toString();
    s.text = o.value(QStringLiteral("text")).toString();
    if (o.contains(QStringLiteral("point"))) {
        const auto p = VoxelFrom(o.value(QStringLiteral("point")));
        if (!p)
            Bad(S("Halt %1: „point“ muss drei ganze Zahlen von 0 bis 255 enthalten").arg(number));
        s.point = *p;
    }
    if (o.value(kWindow).isObject()) s.state.insert(kWindow, o.value(kWindow));
    if (o.value(kNeurological).isBool())
        s.state.insert(kOrientation, QJsonObject{{kNeurological, o.value(kNeurological)}});
    // Atlas colours, annotations and measurements belong to the stop: a
    // stop without them shows none.
    s.state.insert(kAtlas, QJsonObject{{kAtlas, o.value(kAtlas).toString()}});
    s.state.insert(kAnnotations, QJsonObject{{kAnnotations, o.value(kAnnotations).toArray()}});
    s.state.insert(kRulers, QJsonObject{{kMeasurements, o.value(kMeasurements).toArray()}});
    // Other components' states under their own keys.
    const QJsonObject more = o.value(kComponents).toObject();
    for (auto it = more.begin(); it != more.end(); ++it)
        if (it.value().isObject() && !s.state.contains(it.key()))
            s.state.insert(it.key(), it.value());
    if (o.value(QStringLiteral("question")).isObject())
        s.question = QuestionFrom(o.value(QStringLiteral("question")).toObject(), number);
    s.extra = o;
    for (const QString& k : {QStringLiteral("title"), QStringLiteral("text"),
                             QStringLiteral("point"), kWindow, kNeurological, kAtlas, kAnnotations,
                             kMeasurements, kComponents, QStringLiteral("question")})
        s.extra.remove(k);
    return s;
}

QJsonObject StopJson(const LessonStop& s) {
    QJsonObject o = s.extra;
    o.insert(QStringLiteral("title"), s.title);
    o.insert(QStringLiteral("text"), s.text);
    o.insert(QStringLiteral("point"), VoxelJson(s.point));
    QJsonObject more;
    for (auto it = s.state.begin(); it != s.state.end(); ++it) {
        const QJsonObject v = it.value().toObject();
        if (it.key() == kWindow) {
            o.insert(kWindow, v);
        } else if (it.key() == kOrientation && v.value(kNeurological).isBool()) {
            o.insert(kNeurological, v.value(kNeurological));
        } else if (it.key() == kAtlas) {
            if (!v.value(kAtlas).toString().isEmpty()) o.insert(kAtlas, v.value(kAtlas));
        } else if (it.key() == kAnnotations) {
            if (!v.value(kAnnotations).toArray().isEmpty())
                o.insert(kAnnotations, v.value(kAnnotations));
        } else if (it.key() == kRulers) {
            if (!v.value(kMeasurements).toArray().isEmpty())
                o.insert(kMeasurements, v.value(kMeasurements));
        } else {
            more.insert(it.key(), v);
        }
    }
    if (!more.isEmpty()) o.insert(kComponents, more);
    if (s.question) o.insert(QStringLiteral("question"), QuestionJson(*s.question));
    return o;
}

}  // namespace

QJsonObject AnnotationToJson(const Annotation& a) {
    return {{QStringLiteral("view"), a.view},
            {QStringLiteral("plane"), a.plane},
            {QStringLiteral("target"), PointJson(a.target)},
            {QStringLiteral("label"), PointJson(a.label)},
            {QStringLiteral("text"), a.text}};
}

std::optional<Annotation> AnnotationFromJson(const QJsonValue& value) {
    const QJsonObject o = value.toObject();
    Annotation a;
    a.view = o.value(QStringLiteral("view")).toInt(0);
    a.plane = o.value(QStringLiteral("plane")).toInt(-1);
    a.text = o.value(QStringLiteral("text")).toString();
    const auto target = PointFrom(o.value(QStringLiteral("target")));
    const auto label = PointFrom(o.value(QStringLiteral("label")));
    if (a.view < 1 || a.view > 3 || a.plane < 0 || a.plane > 255 || !target || !label ||
        a.text.isEmpty())
        return {};
    a.target = *target;
    a.label = *label;
    return a;
}

Lesson ParseLesson(const QByteArray& json) {
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        throw RuntimeError(S("Die Datei ist keine Lektion (kein gültiges JSON)"));
    const QJsonObject o = doc.object();
    if (o.value(QStringLiteral("format")).toString() != QLatin1String("zerebrix-lesson"))
        throw RuntimeError(S("Die Datei ist keine Zerebrix-Lektion"));
    const int version = o.value(QStringLiteral("version")).toInt(0);
    if (version < 1) throw RuntimeError(S("Die Lektion hat keine gültige Versionsnummer"));
    if (version > kLessonVersion)
        throw RuntimeError(
            S("Die Lektion hat die Version %1; dieses Programm liest Lektionen bis Version %2")
                .arg(version)
                .arg(kLessonVersion));
    Lesson l;
    l.title = o.value(QStringLiteral("title")).toString();
    l.volume = o.value(QStringLiteral("volume")).toString();
    if (l.volume.isEmpty()) Bad(S("„volume“ nennt keine Volumendatei"));
    l.volumeCheck = o.value(QStringLiteral("volume_check")).toObject();
    int n = 0;
    for (const QJsonValue& v : o.value(QStringLiteral("stops")).toArray()) {
        if (!v.isObject()) Bad(S("Halt %1 ist kein Objekt").arg(n + 1));
        l.stops.push_back(StopFrom(v.toObject(), ++n));
    }
    l.extra = o;
    for (const char* k : {"format", "version", "title", "volume", "volume_check", "stops"})
        l.extra.remove(QLatin1String(k));
    return l;
}

QByteArray LessonJson(const Lesson& lesson) {
    QJsonObject o = lesson.extra;
    o.insert(QStringLiteral("format"), QStringLiteral("zerebrix-lesson"));
    o.insert(QStringLiteral("version"), kLessonVersion);
    o.insert(QStringLiteral("title"), lesson.title);
    o.insert(QStringLiteral("volume"), lesson.volume);
    if (!lesson.volumeCheck.isEmpty()) o.insert(QStringLiteral("volume_check"), lesson.volumeCheck);
    QJsonArray stops;
    for (const LessonStop& s : lesson.stops) stops.append(StopJson(s));
    o.insert(QStringLiteral("stops"), stops);
    return QJsonDocument(o).toJson(QJsonDocument::Indented);
}

Lesson ReadLesson(const QString& path) {
    QFile f(path);
    if (!f.exists()) throw RuntimeError(path + S(": Datei nicht gefunden"));
    if (!f.open(QIODevice::ReadOnly)) throw RuntimeError(path + S(": Dateizugriff verweigert"));
    try {
        return ParseLesson(f.readAll());
    } catch (const RuntimeError& e) {
        throw RuntimeError(path + S(": ") + e.text());
    }
}

void WriteLesson(const QString& path, const Lesson& lesson) {
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(LessonJson(lesson)) < 0 || !f.commit())
        throw RuntimeError(S("Datei %1 kann nicht erstellt werden").arg(path));
}

QString LessonVolumePath(const QString& lessonFile, const Lesson& lesson) {
    return QDir::cleanPath(QFileInfo(lessonFile).absoluteDir().absoluteFilePath(lesson.volume));
}

QJsonObject VolumeCheck(const std::uint8_t* voxels, int planes) {
    const QByteArray hash = QCryptographicHash::hash(
        QByteArrayView(voxels, qsizetype(planes) * 65536), QCryptographicHash::Sha1);
    return {{QStringLiteral("planes"), planes},
            {QStringLiteral("sha1"), QString::fromLatin1(hash.toHex())}};
}

void SetLessonVolume(Lesson& lesson, const QString& lessonFile, const QString& volumeFile,
                     const std::uint8_t* voxels, int planes) {
    lesson.volume = QFileInfo(lessonFile)
                        .absoluteDir()
                        .relativeFilePath(QFileInfo(volumeFile).absoluteFilePath());
    lesson.volumeCheck = VolumeCheck(voxels, planes);
}

QString VolumeMismatch(const Lesson& lesson, const std::uint8_t* voxels, int planes) {
    if (lesson.volumeCheck.isEmpty()) return {};
    if (VolumeCheck(voxels, planes) == lesson.volumeCheck) return {};
    return S("Das gezeigte Volumen ist nicht das der Lektion (%1): es wurde verändert oder "
             "ersetzt. Bitte das Volumen der Lektion öffnen.")
        .arg(lesson.volume);
}

QString MissingVolumeText(const QString& path) {
    return S("Die Volumendatei der Lektion fehlt: %1").arg(QDir::toNativeSeparators(path));
}

StopView ViewOfStop(const LessonStop& stop) {
    StopView v;
    const QJsonObject w = stop.state.value(kWindow).toObject();
    v.centre = w.value(QStringLiteral("centre")).toInt(v.centre);
    v.width = w.value(QStringLiteral("width")).toInt(v.width);
    if (w.value(QStringLiteral("map")).isString())
        v.map = w.value(QStringLiteral("map")).toString();
    v.neurological = stop.state.value(kOrientation).toObject().value(kNeurological).toBool();
    v.atlas = stop.state.value(kAtlas).toObject().value(kAtlas).toString();
    for (const QJsonValue& a :
         stop.state.value(kAnnotations).toObject().value(kAnnotations).toArray())
        if (auto an = AnnotationFromJson(a)) v.annotations.push_back(*an);
    for (const QJsonValue& m :
         stop.state.value(kRulers).toObject().value(kMeasurements).toArray()) {
        const QJsonObject o = m.toObject();
        Measurement r;
        r.view = o.value(QStringLiteral("view")).toInt(0);
        r.plane = o.value(QStringLiteral("plane")).toInt(-1);
        for (const QJsonValue& p : o.value(QStringLiteral("points")).toArray())
            if (auto q = PointFrom(p)) r.points.push_back(*q);
        if (r.view >= 1 && r.view <= 3 && r.plane >= 0 && r.plane <= 255 &&
            (r.points.size() == 2 || r.points.size() == 3))
            v.measurements.push_back(r);
    }
    return v;
}

bool PointAnswerRight(const LessonQuestion& q, const std::array<int, 3>& p, double edgeMm) {
    const double dx = p[0] - q.answer[0], dy = p[1] - q.answer[1], dz = p[2] - q.answer[2];
    const double d = std::sqrt(dx * dx + dy * dy + dz * dz) * (edgeMm > 0 ? edgeMm : 1.0);
    return d <= q.radiusMm;
}

}  // namespace zx
