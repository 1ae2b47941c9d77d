#pragma once
// What a conversion will write and what the window says about it: the files named after the
// chosen path, the one question before any of them is replaced, the lines naming each written
// file, and where the files are when no program opens their folder.
#include <QString>
#include <QStringList>
#include <string>

namespace pelmora {

// The files the chosen output types write, in the order they are written.
QStringList PlannedOutputs(const QString& chosen, int conversionBits);
// The planned files that exist already.
QStringList ExistingOutputs(const QStringList& planned);

QString ReplaceQuestion(const QStringList& existing);
QString WrittenLine(const QString& path);
QString FolderNotOpenedText(const QString& folder);

// The save dialog's filters: every output type, then all files.
QStringList OutputFilters(const QString& loggerFiles, const QString& allFiles);

}  // namespace pelmora
