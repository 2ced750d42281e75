// What one XMLTV source costs from its file to /epg.xml: reading it into
// listings (parse and match, every channel of it), writing every channel's
// every day as XMLTV, and the gzip twin; the peak memory against the file.
// Figures only; nothing here is asserted.
//   epg_xml_bench FILE [rounds]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <sstream>
#include <string>

#include "server/channels/xmltv_listings.h"
#include "server/site/resource.h"
#include "server/site/xmltv_write.h"
#include "server/util/file_read.h"
#include "server/xmltv/source_reader.h"

namespace {

using namespace epg;
using Ms = std::chrono::duration<double, std::milli>;

double msSince(std::chrono::steady_clock::time_point t) {
    return Ms(std::chrono::steady_clock::now() - t).count();
}

// The process's peak resident set (VmHWM) in MiB.
double peakMiB() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmHWM:", 0) == 0) return std::atof(line.c_str() + 6) / 1024.0;
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: epg_xml_bench FILE [rounds]\n");
        return 2;
    }
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 3;
    const Zone zone = Zone::named("Asia/Shanghai").value();
    const double before = peakMiB();
    std::size_t fileBytes = 0;
    double loadMs = 1e300;
    XmltvListings listings;
    for (int r = 0; r < rounds; ++r) {
        listings = {};
        auto t = std::chrono::steady_clock::now();
        SourceReader reader(argv[1], {});
        fileBytes = 0;
        FileRead read = streamSourceFile(argv[1], {}, [&](std::string_view text) {
            fileBytes += text.size();
            return reader.feed(text);
        });
        if (!read.ok) {
            std::fprintf(stderr, "%s\n",
                         read.error.empty() ? reader.error().c_str() : read.error.c_str());
            return 1;
        }
        ParsedSource parsed = reader.finish();
        if (!parsed.document) {
            std::fprintf(stderr, "%s\n", parsed.error.c_str());
            return 1;
        }
        listings = listingsFromXmltv({parsed.document}, nullptr, zone);
        loadMs = std::min(loadMs, msSince(t));
    }
    const double loadPeak = peakMiB() - before;

    constexpr Seconds kAll = std::numeric_limits<Seconds>::max() / 2;
    double writeMs = 1e300, gzipMs = 1e300, fastMs = 1e300;
    std::string xml, gz, fast;
    for (int r = 0; r < rounds; ++r) {
        auto t = std::chrono::steady_clock::now();
        xml = writeXmltv(*listings.listings, -kAll, kAll, zone);
        writeMs = std::min(writeMs, msSince(t));
        t = std::chrono::steady_clock::now();
        gz = gzipped(xml);
        gzipMs = std::min(gzipMs, msSince(t));
        t = std::chrono::steady_clock::now();
        fast = gzipped(xml, 1);
        fastMs = std::min(fastMs, msSince(t));
    }
    std::size_t channels = 0;
    for (auto at = xml.find("<channel "); at != std::string::npos;
         at = xml.find("<channel ", at + 1))
        ++channels;
    const double mib = static_cast<double>(fileBytes) / 1048576.0;
    std::printf("source: %.1f MiB, %zu programmes; %zu other channels beside the catalogue's\n",
                mib, listings.listings->programmeCount(), listings.listings->others().size());
    std::printf("load (parse and match):  %8.0f ms, peak %.0f MiB (%.2fx the file)\n", loadMs,
                loadPeak, loadPeak / mib);
    std::printf("/epg.xml, every day:     %8.0f ms, %zu channels, %.1f MiB\n", writeMs, channels,
                static_cast<double>(xml.size()) / 1048576.0);
    std::printf("its gzip twin:           %8.0f ms, %.1f MiB\n", gzipMs,
                static_cast<double>(gz.size()) / 1048576.0);
    std::printf("  at level 1:            %8.0f ms, %.1f MiB\n", fastMs,
                static_cast<double>(fast.size()) / 1048576.0);
    std::printf("peak of the process:     %8.0f MiB\n", peakMiB());
    return 0;
}
