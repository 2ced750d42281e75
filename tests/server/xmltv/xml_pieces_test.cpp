// Parsing in pieces: whatever the piece size, the pieces hold the root's
// children in order, cuts that would land inside a comment, CDATA section,
// processing instruction, attribute value or nested element are widened, and
// an error is found at the same offset.
#include <gtest/gtest.h>

#include <pugixml.hpp>

#include "server/xmltv/xml_pieces.h"

namespace epg {
namespace {

struct Outcome {
    std::vector<std::string> titles;
    std::size_t pieces = 0;
    std::optional<XmlError> error;
};

Outcome parse(const std::string& text, std::size_t pieceSize) {
    Outcome out;
    out.error = parseInPieces(
        text, "tv",
        [&](pugi::xml_node root) {
            ++out.pieces;
            for (pugi::xml_node p = root.child("programme"); p; p = p.next_sibling("programme"))
                out.titles.push_back(p.child_value("title"));
        },
        pieceSize);
    return out;
}

std::string document(std::size_t programmes) {
    std::string d =
        "<?xml version=\"1.0\"?>\n<!DOCTYPE tv [<!ENTITY x \"]>\">]>\n"
        "<!-- before </programme> -->\n<tv a=\"1\" b='>'>\n";
    const char* traps[] = {
        "<!-- </programme> -->",
        "<x a=\"</programme>\" b='</channel >'/>",
        "<![CDATA[</programme>]]>",
        "<?pi </programme> ?>",
        "<programme><title>inner</title></programme>",
        "",
    };
    for (std::size_t i = 0; i < programmes; ++i)
        d += "<programme>" + std::string(traps[i % 6]) + "<title>" + std::to_string(i) +
             "</title></programme>\n<channel id=\"" + std::to_string(i) + "\"></channel >\n";
    return d + "</tv>\n<!-- after </programme> -->\n";
}

TEST(XmlPieces, AnyPieceSizeGivesTheSameChildrenInOrder) {
    const std::string text = document(60);
    std::vector<std::string> expected;
    for (int i = 0; i < 60; ++i) expected.push_back(std::to_string(i));
    for (std::size_t size : {std::size_t{0}, std::size_t{1}, std::size_t{100}, text.size()}) {
        Outcome o = parse(text, size);
        ASSERT_FALSE(o.error) << size << ": " << o.error->what;
        EXPECT_EQ(o.titles, expected) << size;
        if (size <= 1) {
            EXPECT_GT(o.pieces, 60u);  // every good cut taken
        }
    }
}

TEST(XmlPieces, AnErrorIsFoundAtTheSameOffsetWhateverThePieces) {
    std::string text = document(60);
    for (const char* damage : {"<oops>", "</tv>", "</title>", "<x y=>", "<a></b>"}) {
        std::string broken = text;
        broken.insert(broken.find("<title>44<"), damage);
        std::optional<XmlError> whole = parse(broken, broken.size()).error;
        ASSERT_TRUE(whole) << damage;
        for (std::size_t size : {std::size_t{1}, std::size_t{100}}) {
            Outcome o = parse(broken, size);
            ASSERT_TRUE(o.error) << damage;
            EXPECT_EQ(o.error->offset, whole->offset) << damage << " " << size;
            EXPECT_EQ(o.error->what, whole->what) << damage;
        }
    }
    // The end of the text cut off: the error is at its end.
    std::string cut = text.substr(0, text.find("<title>30<"));
    Outcome o = parse(cut, 1);
    ASSERT_TRUE(o.error);
    EXPECT_GE(o.error->offset + 1, cut.size());
}

TEST(XmlPieces, TheRootIsCheckedBeforeAnything) {
    struct Case {
        std::string text;
        std::string what;  // empty: accepted
    } cases[] = {
        {"<tv/>", ""},
        {"<?xml version='1.0'?><tv\n  x='/>'/>", ""},
        {"<html><tv></tv></html>", "the root element is <html>, not <tv>"},
        {"<!-- <tv> --><tvx/>", "the root element is <tvx>, not <tv>"},
        {"", "No document element found"},
        {"just text", "No document element found"},
    };
    for (const auto& c : cases) {
        Outcome o = parse(c.text, 1);
        if (c.what.empty()) {
            EXPECT_FALSE(o.error) << c.text << ": " << o.error->what;
        } else {
            ASSERT_TRUE(o.error) << c.text;
            EXPECT_EQ(o.error->what, c.what) << c.text;
        }
    }
}

}  // namespace
}  // namespace epg
