#include "tools/image/frame/frameratio.h"

namespace FrameRatios {

const QList<FrameRatio>& all()
{
    static const QList<FrameRatio> list{FrameRatio::auto_, FrameRatio::square, FrameRatio::wide,
                                        FrameRatio::portrait};
    return list;
}

QString rawValue(FrameRatio ratio)
{
    switch (ratio) {
    case FrameRatio::auto_:
        return QStringLiteral("Auto");
    case FrameRatio::square:
        return QStringLiteral("1:1");
    case FrameRatio::wide:
        return QStringLiteral("16:9");
    case FrameRatio::portrait:
        return QStringLiteral("4:5");
    }
    return {};
}

std::optional<FrameRatio> fromRaw(const QString& raw)
{
    for (FrameRatio r : all())
        if (rawValue(r) == raw) return r;
    return std::nullopt;
}

std::optional<double> value(FrameRatio ratio)
{
    switch (ratio) {
    case FrameRatio::auto_:
        return std::nullopt;
    case FrameRatio::square:
        return 1.0;
    case FrameRatio::wide:
        return 16.0 / 9.0;
    case FrameRatio::portrait:
        return 0.8;
    }
    return std::nullopt;
}

} // namespace FrameRatios
