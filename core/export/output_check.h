// The one check every command that writes files makes first: no output may
// name one of the files the command reads (or the volume it shows).
#pragma once

#include <QString>
#include <QStringList>

namespace zx {

/// True when `a` and `b` name the same file: the same absolute path, or
/// (both existing) the same device and inode, which also covers symbolic
/// and hard links.
bool SameFile(const QString& a, const QString& b);

/// The first of `outputs` that names one of `inputs` (empty inputs are
/// skipped); an empty string when there is none.
QString OutputAmongInputs(const QStringList& outputs, const QStringList& inputs);

/// The German refusal for an output that would replace `input`.
QString OutputIsInputText(const QString& output);

}  // namespace zx
