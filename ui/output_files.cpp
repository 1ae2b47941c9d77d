#include "ui/output_files.h"

#include <QDir>
#include <QFileInfo>

#include "convert/convert_paths.h"
#include "core/conversion_settings.h"

namespace pelmora {

QStringList PlannedOutputs(const QString& chosen, int conversionBits) {
    // The conversion pipeline's order of writers.
    static constexpr struct {
        int bit;
        ConvertOutput output;
    } kOrder[] = {
        {ConvNmea, ConvertOutput::Nmea},         {ConvNmeaWithId, ConvertOutput::NmeaWithId},
        {ConvCsv, ConvertOutput::Csv},           {ConvKmlPath, ConvertOutput::KmlPath},
        {ConvKmlPoint, ConvertOutput::KmlPoint}, {ConvGpx, ConvertOutput::Gpx},
    };
    const std::string path = QDir::cleanPath(QFileInfo(chosen).absoluteFilePath()).toStdString();
    QStringList planned;
    for (const auto& entry : kOrder) {
        if (conversionBits & entry.bit) {
            planned << QString::fromStdString(OutputPathFor(path, entry.output));
        }
    }
    return planned;
}

QStringList ExistingOutputs(const QStringList& planned) {
    QStringList existing;
    for (const QString& path : planned) {
        if (QFileInfo::exists(path)) {
            existing << path;
        }
    }
    return existing;
}

QString ReplaceQuestion(const QStringList& existing) {
    return QObject::tr("These files already exist and will be replaced:\n%1\n\nReplace them?")
        .arg(existing.join(QLatin1Char('\n')));
}

QString WrittenLine(const QString& path) {
    return QObject::tr("Written: %1").arg(path);
}

QString FolderNotOpenedText(const QString& folder) {
    return QObject::tr("No program could open the folder. The files are in:\n%1").arg(folder);
}

QStringList OutputFilters(const QString& loggerFiles, const QString& allFiles) {
    return {loggerFiles + QStringLiteral(" (*.kml *.txt *.csv *.gpx)"), allFiles};
}

}  // namespace pelmora
