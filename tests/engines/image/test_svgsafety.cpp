// A drawing's style sheets import nothing, however the import is spelled; the rest of the
// style stays as it was.

#include "engines/image/svgsafety.h"

#include <QXmlStreamReader>
#include <QtTest>

namespace {

const QByteArray target = "file:///tmp/outside/canary.css";

// The drawing with `style` (raw XML) as its style element and `attribute` as a rectangle's style.
QByteArray drawing(const QByteArray& style, const QByteArray& attribute = "fill:#102030")
{
    return "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"10\" height=\"10\"><style>" + style +
           "</style><rect width=\"10\" height=\"10\" style=\"" + attribute + "\"/></svg>";
}

// The style element's text and the rectangle's style attribute of a cleaned drawing.
std::pair<QString, QString> styles(const QByteArray& svg)
{
    QXmlStreamReader in(svg);
    QString text, attribute;
    bool inStyle = false;
    while (!in.atEnd()) {
        const auto token = in.readNext();
        if (token == QXmlStreamReader::StartElement && in.name() == QLatin1String("rect"))
            attribute = in.attributes().value("style").toString();
        if (token == QXmlStreamReader::StartElement || token == QXmlStreamReader::EndElement)
            inStyle = token == QXmlStreamReader::StartElement && in.name() == QLatin1String("style");
        if (token == QXmlStreamReader::Characters && inStyle) text += in.text();
    }
    return {text.simplified(), attribute.simplified()};
}

} // namespace

class SvgSafetyTest : public QObject
{
    Q_OBJECT
  private slots:
    void importsGo_data()
    {
        QTest::addColumn<QByteArray>("style");
        QTest::addColumn<QString>("kept");
        const QByteArray t = target, rule = "rect{fill:#102030}";
        const QString kept = "rect{fill:#102030}";
        // clang-format off
        QTest::newRow("quoted") << "@import \"" + t + "\"; " + rule << kept;
        QTest::newRow("single quotes, ; inside") << "@import '" + t + ";x'; " + rule << kept;
        QTest::newRow("url()") << "@import url(" + t + "); " + rule << kept;
        QTest::newRow("url() quoted, ) inside") << "@import url(\"" + t + ")\"); " + rule << kept;
        QTest::newRow("media list") << "@import \"" + t + "\" screen, print; " + rule << kept;
        QTest::newRow("upper case") << "@IMPORT \"" + t + "\"; " + rule << kept;
        QTest::newRow("hex escape") << "@\\69mport \"" + t + "\"; " + rule << kept;
        QTest::newRow("long escape, space") << "@\\000069 mport \"" + t + "\"; " + rule << kept;
        QTest::newRow("escaped letter") << "@i\\mport \"" + t + "\"; " + rule << kept;
        QTest::newRow("escape, upper case") << "@\\49 MPORT \"" + t + "\"; " + rule << kept;
        QTest::newRow("comment before target") << "@import/**/\"" + t + "\"; " + rule << kept;
        QTest::newRow("comment holding ;") << "@import /*;*/ \"" + t + "\"; " + rule << kept;
        QTest::newRow("no ; at the end") << rule + " @import \"" + t + "\"" << kept;
        QTest::newRow("inside a block") << "@media all { @import \"" + t + "\"; " + rule + " }"
                                        << "@media all { " + kept + " }";
        QTest::newRow("XML comment in the name") << "@imp<!-- -->ort \"" + t + "\"; " + rule << kept;
        QTest::newRow("CDATA in the name") << "@imp<![CDATA[ort \"" + t + "\";]]> " + rule << kept;
        QTest::newRow("entity in the name") << "@&#105;mport \"" + t + "\"; " + rule << kept;
        // What only mentions an import stays.
        QTest::newRow("in a string") << QByteArray("text{content:\"@import x\"}") << "text{content:\"@import x\"}";
        QTest::newRow("in a comment") << QByteArray("/* @import \"x\"; */ ") + rule << "/* @import \"x\"; */ " + kept;
        QTest::newRow("other at-rule") << "@font-face{font-family:A} " + rule << "@font-face{font-family:A} " + kept;
        // clang-format on
    }

    void importsGo()
    {
        QFETCH(QByteArray, style);
        QFETCH(QString, kept);
        const QByteArray cleaned = Svg::confined(drawing(style));
        QVERIFY2(!cleaned.isEmpty(), style.constData());
        QCOMPARE(styles(cleaned).first, kept);
        QVERIFY(!cleaned.contains("canary"));
    }

    // A style attribute is cleaned alike.
    void importsGoFromAttributes()
    {
        const QByteArray attribute = "@\\69mport '" + target + "'; fill:#102030";
        const QByteArray cleaned = Svg::confined(drawing("", attribute));
        QCOMPARE(styles(cleaned).second, "fill:#102030");
    }
};

QTEST_GUILESS_MAIN(SvgSafetyTest)
#include "test_svgsafety.moc"
