#include "engines/compress/heavy/pictureplacement.h"

#include <cmath>
#include <optional>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>
#include <set>
#include <vector>

namespace {

using Sizes = std::map<QPDFObjGen, PicturePlacement::Drawn>;

// Forms inside forms deeper than this are not followed.
constexpr int deepestForm = 12;

// The linear part of a transformation; the offsets change no size.
struct Linear
{
    double a = 1, b = 0, c = 0, d = 1;

    // `m` applied first, then this one, as the cm operator combines them.
    Linear after(const Linear& m) const
    {
        return {m.a * a + m.b * c, m.a * b + m.b * d, m.c * a + m.d * c, m.c * b + m.d * d};
    }
};

std::optional<Linear> linear(const std::vector<QPDFObjectHandle>& numbers)
{
    if (numbers.size() < 4) return std::nullopt;
    double v[4];
    for (int i = 0; i < 4; ++i) {
        QPDFObjectHandle n = numbers[i];
        if (!n.isNumber()) return std::nullopt;
        v[i] = n.getNumericValue();
    }
    return Linear{v[0], v[1], v[2], v[3]};
}

bool isSubtype(QPDFObjectHandle object, const char* subtype)
{
    return object.isStream() && object.getDict().getKey("/Subtype").isNameAndEquals(subtype);
}

class Walker : public QPDFObjectHandle::ParserCallbacks
{
  public:
    Walker(Sizes& sizes, QPDFObjectHandle resources, Linear ctm, std::set<QPDFObjGen>& path)
        : m_sizes(sizes), m_resources(resources), m_ctm(ctm), m_path(path)
    {
    }

    void handleObject(QPDFObjectHandle object) override
    {
        if (!object.isOperator()) {
            m_operands.push_back(object);
            return;
        }
        const std::string op = object.getOperatorValue();
        if (op == "q") {
            m_saved.push_back(m_ctm);
        } else if (op == "Q") {
            if (!m_saved.empty()) {
                m_ctm = m_saved.back();
                m_saved.pop_back();
            }
        } else if (op == "cm" && m_operands.size() == 6) {
            if (const std::optional<Linear> m = linear(m_operands)) m_ctm = m_ctm.after(*m);
        } else if (op == "Do" && m_operands.size() == 1 && m_operands[0].isName()) {
            draw(m_operands[0].getName());
        }
        m_operands.clear();
    }

    void handleEOF() override {}

  private:
    void draw(const std::string& name)
    {
        QPDFObjectHandle xobjects =
            m_resources.isDictionary() ? m_resources.getKey("/XObject") : QPDFObjectHandle();
        if (!xobjects.isDictionary()) return;
        QPDFObjectHandle xobject = xobjects.getKey(name);
        if (isSubtype(xobject, "/Image")) {
            PicturePlacement::Drawn& drawn = m_sizes[xobject.getObjGen()];
            drawn.width = std::max(drawn.width, std::hypot(m_ctm.a, m_ctm.b) / 72);
            drawn.height = std::max(drawn.height, std::hypot(m_ctm.c, m_ctm.d) / 72);
        } else if (isSubtype(xobject, "/Form") && int(m_path.size()) < deepestForm &&
                   !m_path.count(xobject.getObjGen())) {
            QPDFObjectHandle dict = xobject.getDict();
            QPDFObjectHandle matrix = dict.getKey("/Matrix");
            const std::optional<Linear> m =
                matrix.isArray() ? linear(matrix.getArrayAsVector()) : std::optional<Linear>(Linear{});
            QPDFObjectHandle own = dict.getKey("/Resources");
            m_path.insert(xobject.getObjGen());
            Walker inner(m_sizes, own.isDictionary() ? own : m_resources, m_ctm.after(m.value_or(Linear{})),
                         m_path);
            xobject.parseAsContents(&inner);
            m_path.erase(xobject.getObjGen());
        }
    }

    Sizes& m_sizes;
    QPDFObjectHandle m_resources;
    Linear m_ctm;
    std::vector<Linear> m_saved;
    std::vector<QPDFObjectHandle> m_operands;
    std::set<QPDFObjGen>& m_path;
};

// Every picture `resources` offers, directly or through its forms.
void offered(QPDFObjectHandle resources, std::set<QPDFObjGen>& pictures, int depth = 0)
{
    QPDFObjectHandle xobjects = resources.isDictionary() ? resources.getKey("/XObject") : QPDFObjectHandle();
    if (!xobjects.isDictionary() || depth > deepestForm) return;
    for (auto [name, xobject] : xobjects.ditems()) {
        if (isSubtype(xobject, "/Image"))
            pictures.insert(xobject.getObjGen());
        else if (isSubtype(xobject, "/Form"))
            offered(xobject.getDict().getKey("/Resources"), pictures, depth + 1);
    }
}

} // namespace

namespace PicturePlacement {

std::map<QPDFObjGen, Drawn> largest(QPDF& pdf)
{
    Sizes sizes;
    std::set<QPDFObjGen> unreadable;
    for (QPDFPageObjectHelper& page : QPDFPageDocumentHelper(pdf).getAllPages()) {
        QPDFObjectHandle resources = page.getAttribute("/Resources", false);
        Sizes found;
        std::set<QPDFObjGen> path;
        Walker walker(found, resources, Linear{}, path);
        // qpdf warns, rather than throws, about much of what it can't read.
        const size_t warnings = pdf.numWarnings();
        try {
            page.parseContents(&walker);
        } catch (const std::exception&) {
            offered(resources, unreadable);
            continue;
        }
        if (pdf.numWarnings() != warnings) {
            offered(resources, unreadable);
            continue;
        }
        for (const auto& [picture, drawn] : found) {
            Drawn& kept = sizes[picture];
            kept.width = std::max(kept.width, drawn.width);
            kept.height = std::max(kept.height, drawn.height);
        }
    }
    for (const QPDFObjGen& picture : unreadable)
        sizes.erase(picture);
    return sizes;
}

} // namespace PicturePlacement
