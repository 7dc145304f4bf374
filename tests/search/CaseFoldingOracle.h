#pragma once

// Full case folding worked out from the Unicode data file itself, apart from
// the program's folding (and from Qt's toCaseFolded, which folds one
// character into one only): what the search is checked against.

#include <QFile>
#include <QHash>
#include <QString>

// Debian's unicode-data (scripts/deps.sh).
inline const QString kCaseFoldingFile = QStringLiteral("/usr/share/unicode/CaseFolding.txt");

class CaseFoldingOracle
{
public:
    CaseFoldingOracle()
    {
        QFile file(kCaseFoldingFile);
        if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
            return;
        // "00DF; F; 0073 0073; # LATIN SMALL LETTER SHARP S": statuses C
        // (common) and F (full) make full folding; S and T are left out.
        while (!file.atEnd()) {
            const QString line = QString::fromUtf8(file.readLine());
            const QStringList fields = line.section(QLatin1Char('#'), 0, 0).split(QLatin1Char(';'));
            if (fields.size() < 3)
                continue;
            const QString status = fields[1].trimmed();
            if (status != QLatin1String("C") && status != QLatin1String("F"))
                continue;
            QString mapping;
            for (const QString& hex : fields[2].split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
                const char32_t point = hex.toUInt(nullptr, 16);
                mapping += QString::fromUcs4(&point, 1);
            }
            mMappings.insert(fields[0].trimmed().toUInt(nullptr, 16), mapping);
        }
    }

    // Every character with a mapping of status C or F, and that mapping.
    const QHash<char32_t, QString>& mappings() const { return mMappings; }

    // The form the search compares: NFKC, every character folded, NFKC.
    QString fold(const QString& text) const
    {
        QString folded;
        for (const char32_t point : text.normalized(QString::NormalizationForm_KC).toUcs4()) {
            const auto mapped = mMappings.constFind(point);
            folded += mapped != mMappings.cend() ? *mapped : QString::fromUcs4(&point, 1);
        }
        return folded.normalized(QString::NormalizationForm_KC);
    }

private:
    QHash<char32_t, QString> mMappings;
};
