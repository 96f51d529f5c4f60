// Argument tests run under the C locale and again under a German one, whose decimal comma must
// never reach ffmpeg: a test's _data function adds the rows, the test holds a RowLocale.

#pragma once

#include <QByteArray>
#include <QLocale>
#include <QTest>
#include <clocale>

inline void decimalLocaleRows()
{
    QTest::addColumn<QByteArray>("locale");
    QTest::newRow("C") << QByteArray("C.UTF-8");
    QTest::newRow("de_DE") << QByteArray("de_DE.UTF-8");
}

// The process's and Qt's locale set to the current row's while it lives, the C locale after.
class RowLocale
{
  public:
    RowLocale()
    {
        QFETCH(QByteArray, locale);
        m_set = std::setlocale(LC_ALL, locale.constData()) != nullptr;
        QLocale::setDefault(QLocale(locale.startsWith("de") ? QLocale::German : QLocale::C));
    }
    ~RowLocale()
    {
        std::setlocale(LC_ALL, "C.UTF-8");
        QLocale::setDefault(QLocale::c());
    }
    RowLocale(const RowLocale&) = delete;
    RowLocale& operator=(const RowLocale&) = delete;

    // Whether the row's locale is installed on this machine.
    bool isSet() const { return m_set; }

  private:
    bool m_set = false;
};
