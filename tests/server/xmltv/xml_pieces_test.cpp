// Parsing in pieces: whatever the piece size, the pieces hold the root's
// children in order, cuts that would land inside a comment, CDATA section,
// processing instruction, attribute value or nested element are widened, and
// an error is found at the same offset. Whatever the chunks the text comes
// in, nothing held is longer than the bound, and every byte is looked at
// about twice (scanned, parsed), never again for each chunk.
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

// The text fed to a reader `chunk` bytes at a time (0: all at once).
struct Fed {
    std::optional<XmlError> error;
    std::vector<std::string> titles;
    std::size_t examined = 0;
};
Fed feed(const std::string& text, std::size_t chunk, std::size_t longest,
         std::size_t pieceSize = 100) {
    Fed out;
    XmlPieceReader reader(
        "tv",
        [&](pugi::xml_node root) {
            for (pugi::xml_node p = root.child("programme"); p; p = p.next_sibling("programme"))
                out.titles.push_back(p.child_value("title"));
        },
        pieceSize, longest);
    if (chunk == 0) chunk = text.size() + 1;
    for (std::size_t at = 0; at < text.size() && !out.error; at += chunk) {
        reader.text().append(text, at, chunk);
        out.error = reader.advance();
    }
    if (!out.error) out.error = reader.finish();
    out.examined = reader.examined();
    return out;
}

// Whatever must be held until it ends (a child of the root, a comment
// beside them, a start tag, the prolog) is refused once it is longer than
// the bound, at the line where it starts, the same whatever the chunks; a
// thing exactly at the bound is read.
TEST(XmlPieces, WhatIsHeldPastTheBoundIsRefusedWhereItStarts) {
    constexpr std::size_t kBound = 4096;
    const std::string decl = "<?xml version=\"1.0\"?>\n";
    const std::string good = "<programme><title>ok</title></programme>\n";
    // A programme of exactly `size` bytes, its title filled out.
    auto programme = [](std::size_t size) {
        std::string p = "<programme><title></title></programme>";
        return p.insert(18, size - p.size(), 'a');
    };
    const std::string big(kBound, 'a');
    const std::string held = " longer than 4 KiB, the most the reader holds at once";
    const std::string before =
        " runs past 4 KiB from the start, the most the reader holds before the root element's "
        "children";
    const struct {
        const char* what;
        std::string text;
        std::string error;  // "LINE: what"; empty: read
    } cases[] = {
        {"a programme at the bound", decl + "<tv>\n" + good + programme(kBound) + "\n</tv>", ""},
        {"a programme a byte longer", decl + "<tv>\n" + good + programme(kBound + 1) + "\n</tv>",
         "4: a <programme> element" + held},
        {"a comment in a programme",
         decl + "<tv>\n" + good + "<programme>\n<!--" + big + "--></programme></tv>",
         "4: a <programme> element" + held},
        {"an attribute of a programme",
         decl + "<tv>\n" + good + "<programme a=\"" + big + "\"></programme></tv>",
         "4: a <programme> start tag" + held},
        {"a comment between programmes", decl + "<tv>\n" + good + "\n<!--" + big + "-->\n</tv>",
         "5: a comment" + held},
        {"a CDATA section between programmes",
         decl + "<tv>\n" + good + "<![CDATA[" + big + "]]></tv>", "4: a CDATA section" + held},
        {"an instruction between programmes", decl + "<tv>\n" + good + "<?x " + big + "?></tv>",
         "4: a processing instruction" + held},
        {"the root's start tag", decl + "\n<tv x=\"" + big + "\">\n" + good + "</tv>",
         "3: a <tv> start tag" + before},
        {"a long name for the root", decl + "<tv" + big + ">" + good + "</tv" + big + ">",
         "2: a <tvaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa...> start tag" + before},
        {"a comment before the root", decl + "<!--" + big + "-->\n<tv>" + good + "</tv>",
         "2: a comment" + before},
        {"a doctype", decl + "<!DOCTYPE tv [<!ENTITY x '" + big + "'>]>\n<tv>" + good + "</tv>",
         "2: a document type declaration" + before},
        {"small comments before the root, long together",
         decl + std::string(256, '\n') + std::string(682, 'x') +
             [] {
                 std::string many;
                 for (int i = 0; i < 400; ++i) many += "<!-- a -->";
                 return many;
             }() +
             "<tv>" + good + "</tv>",
         "258: a comment" + before},
        // Not held: blanks and text between children, however many.
        {"blanks between programmes",
         decl + "<tv>\n" + good + std::string(5 * kBound, ' ') + good +
             std::string(5 * kBound, '\n') + "</tv>",
         ""},
    };
    for (const auto& c : cases) {
        for (std::size_t chunk :
             {std::size_t{1}, std::size_t{7}, std::size_t{1000}, std::size_t{0}}) {
            Fed fed = feed(c.text, chunk, kBound);
            if (c.error.empty()) {
                EXPECT_FALSE(fed.error) << c.what << ", chunk " << chunk << ": " << fed.error->what;
                EXPECT_GE(fed.titles.size(), 2u) << c.what;
                continue;
            }
            ASSERT_TRUE(fed.error) << c.what << ", chunk " << chunk;
            EXPECT_EQ(std::to_string(fed.error->line) + ": " + fed.error->what, c.error)
                << c.what << ", chunk " << chunk;
        }
    }
}

// What the reader keeps between chunks is less than a piece and the child
// still unfinished, however much came in one chunk before it.
TEST(XmlPieces, BetweenChunksOnlyAPieceAndTheUnfinishedChildAreHeld) {
    constexpr std::size_t kPiece = 100;
    const std::string unfinished = "<programme><title>still coming";
    std::string children;
    while (children.size() < 64 * 1024) children += "<programme><title>x</title></programme>\n";
    const struct {
        const char* what;
        std::string text;
    } cases[] = {
        {"text between children", "<tv>" + std::string(1 << 20, 'x') + unfinished},
        {"blanks between children", "<tv>" + std::string(1 << 20, ' ') + unfinished},
        {"children", "<tv>" + children + unfinished},
        {"a comment, then text", "<tv><!-- -->" + std::string(1 << 20, 'x') + unfinished},
    };
    for (const auto& c : cases) {
        XmlPieceReader reader(
            "tv", [](pugi::xml_node) {}, kPiece);
        reader.text() = c.text;
        ASSERT_FALSE(reader.advance()) << c.what;
        EXPECT_LT(reader.text().size(), kPiece + unfinished.size()) << c.what;
        EXPECT_TRUE(reader.finish()) << c.what;  // cut short: the parser says so
    }
}

// A long thing that comes in small chunks is scanned on from where the last
// chunk ended: each byte is looked at about twice (scanned, then parsed), a
// few bytes more for each chunk, where scanning it again for every chunk
// would take thousands of times as long.
TEST(XmlPieces, LongThingsInSmallChunksAreLookedAtOnce) {
    const std::string big(256 * 1024, 'a');
    const std::string good = "<programme><title>ok</title></programme>\n";
    const struct {
        const char* what;
        std::string text;
    } cases[] = {
        {"the root's start tag", "<tv x=\"" + big + "\">" + good + "</tv>"},
        {"a comment before the root", "<!--" + big + "--><tv>" + good + "</tv>"},
        {"a doctype", "<!DOCTYPE tv [<!ENTITY x '" + big + "'>]><tv>" + good + "</tv>"},
        {"text before the root", big + "<tv>" + good + "</tv>"},
        {"a programme's start tag",
         "<tv><programme a='" + big + "'><title>x</title></programme></tv>"},
        {"a title", "<tv><programme><title>" + big + "</title></programme></tv>"},
        {"a comment between programmes", "<tv>" + good + "<!--" + big + "-->" + good + "</tv>"},
        {"blanks between programmes",
         "<tv>" + good + std::string(big.size(), ' ') + good + "</tv>"},
    };
    for (const auto& c : cases) {
        for (std::size_t chunk : {std::size_t{64}, std::size_t{4096}}) {
            Fed fed = feed(c.text, chunk, kLongestMarkup, std::size_t{1} << 20);
            ASSERT_FALSE(fed.error) << c.what << ": " << fed.error->what;
            const std::size_t chunks = c.text.size() / chunk + 1;
            EXPECT_LE(fed.examined, 2 * c.text.size() + 8 * chunks)
                << c.what << ", chunk " << chunk;
            EXPECT_GE(fed.examined, c.text.size()) << c.what;  // the count counts
        }
    }
}

}  // namespace
}  // namespace epg
