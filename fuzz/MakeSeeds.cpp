// Writes the fuzz targets' seed corpora: pages from the sample-site generators, files as the program
// writes them, and a few hand-made cases. Usage: trawl_fuzz_seeds OUTPUT_DIRECTORY (one folder per
// target is made inside it).
#include "WorldGetter.h"

#include "app/Settings.h"
#include "refdata/ListDownload.h"
#include "refdata/ListFiles.h"
#include "results/Escaping.h"
#include "results/ResultStore.h"
#include "results/SearchFile.h"
#include "sitesim/AdPages.h"
#include "sitesim/SampleWorld.h"
#include "sitesim/SearchPages.h"
#include "sitesim/UpdatePage.h"
#include "support/Doubles.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>

using namespace trawl;
using namespace trawl::test;
namespace fs = std::filesystem;

namespace {

class SeedWriter {
public:
    explicit SeedWriter(fs::path root) : m_root(std::move(root)) {}

    void Add(const std::string& target, std::string_view bytes)
    {
        const fs::path folder = m_root / target;
        fs::create_directories(folder);
        std::ofstream out(folder / ("seed_" + std::to_string(++m_counts[target])), std::ios::binary);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    // The selector byte, then the bytes.
    void Add(const std::string& target, unsigned char selector, std::string_view bytes)
    {
        std::string seed(1, static_cast<char>(selector));
        seed.append(bytes);
        Add(target, seed);
    }

private:
    fs::path m_root;
    std::map<std::string, int> m_counts;
};

void SettingsSeeds(SeedWriter& seeds)
{
    seeds.Add("settings", SettingsFileText(Settings::Defaults()));
    seeds.Add("settings", "MaxResults: 99999999999\nMaxThreads: -3\r\nheight:  12.5e3\nSearchKijiji: 0\n"
                          "SearchCraigslist: 0x10\nStartMenu: NEVER\nHTMLheader: <b>\\n\\\\n</b>\n");
    seeds.Add("settings", "UserAgent:\r\nWidth: nan\nHeight: 2147483647\nnocolon\n:\n");
}

void SearchFileSeeds(SeedWriter& seeds, const std::vector<sitesim::ListedAd>& ads)
{
    TempDir dir;
    RecordingPrompts prompts;
    RecordingStatusView view;
    ResultStore store(kMinMaxResults, view, prompts);
    for (const auto& ad : ads) {
        store.Lock().AddResult({sitesim::IsoDate(ad.date), ad.title, "sfbay", "sss", ad.link,
                                "line one\r\nquote \" and back\\slash", "Yes"});
    }
    const SearchDefinition definition{"bikes", "sfbay.craigslist.org,boston.craigslist.org", "sss,bik", "bike, red",
                                      "toronto.kijiji.ca", "\\bikes"};
    const std::string path = dir.File("seed.trawl");
    if (SaveSearch(path, definition, store).ok()) {
        const std::string file = ReadFile(path);
        seeds.Add("search_file", 0, file);
        seeds.Add("search_file", 1, file);
        std::string line = file.substr(file.find("\r\n\"") + 2);
        seeds.Add("record_fields", line.substr(0, line.find("\r\n")));
    }
    // The older four-line header.
    seeds.Add("search_file", 0, "old\r\n\"2024-03-01\",\"Old title\",\"c\",\"s\",\"http://x/1\",\"t\"\r\nterms\r\n"
                                "\"2024-03-02\",\"b\",\"c\",\"s\",\"http://x/2\",\"t\"\r\n");
    seeds.Add("record_fields", "  \"a\\\"b\\\\c\\n\" junk , plain  ,\"unclosed \\");
    seeds.Add("record_fields", std::string("\"") + EscapeField("x\r\ny\rz\n\f\"\\") + "\"\x01second");
}

void ListSeeds(SeedWriter& seeds)
{
    const std::vector<std::vector<std::string>> rows = {
        {"sfbay", "SF Bay Area", "http://sfbay.craigslist.org", "CA", "US"},
        {"a \"quoted\", field", "line\r\nbreak", "", "x"},
    };
    for (std::size_t i = 0; i < std::size(kAllListFiles); ++i) {
        seeds.Add("list_text", static_cast<unsigned char>(i),
                  ListFileText(ListFileHeader(kAllListFiles[i]), rows));
    }
    seeds.Add("list_text", 3, "header\n  \"one\" tail, two  ,\"three\nunclosed \"four");
}

void FeedSeeds(SeedWriter& seeds, const std::vector<sitesim::ListedAd>& ads)
{
    for (unsigned char flags : {0, 4, 8, 12}) {
        for (bool cdata : {false, true}) {
            seeds.Add("feed", flags | 0,
                      "bike\x01" + sitesim::HttpOkResponse(sitesim::CraigslistSearchFeed(ads, {cdata}), "text/xml"));
            seeds.Add("feed", flags | 1,
                      sitesim::HttpOkResponse(sitesim::KijijiCanadaSearchFeed(ads, {cdata}), "text/xml"));
        }
        seeds.Add("feed", flags | 2, "bike\x01" + sitesim::HttpOkResponse(sitesim::KijijiResultPage(ads)));
        seeds.Add("feed", flags | 2, sitesim::HttpOkResponse(sitesim::KijijiResultPage(ads, {true})));
    }
    seeds.Add("feed", 0, "HTTP/1.0 200 OK\r\n\r\n<item><title>x</title></item>");
}

void AdPageSeeds(SeedWriter& seeds)
{
    for (bool flag : {false, true}) {
        sitesim::AdPageOptions options;
        options.mailto = flag;
        options.picture = flag;
        options.expired = !flag;
        options.bodyLength = flag ? 400 : 20;
        seeds.Add("ad_page", 0, sitesim::HttpOkResponse(sitesim::CraigslistAdPage(options)));
        seeds.Add("ad_page", 1, sitesim::HttpOkResponse(sitesim::KijijiCanadaAdPage(options)));
        seeds.Add("ad_page", 2, sitesim::HttpOkResponse(sitesim::KijijiAdPage(options)));
    }
    seeds.Add("ad_page", 3, sitesim::HttpOkResponse(sitesim::UpdatePage("2.09")));
    seeds.Add("ad_page", 3, sitesim::HttpOkResponse(sitesim::UpdatePage("2.085", false)));
}

void HttpSeeds(SeedWriter& seeds)
{
    const std::string ok = sitesim::HttpOkResponse("<html>body</html>");
    seeds.Add("http", 1, ok);
    seeds.Add("http", 0x11, "HTTP/1.0 302 Found\r\nLocation: http://second.example/next?q=1\r\n\r\n\xff\xfe" + ok);
    seeds.Add("http", 0x01, "HTTP/1.0 302 Found\r\nLocation: http:///nohost\r\n\r\n\xff\xfe" + ok);
    seeds.Add("http", 0x00, "HTTP/1.0 302 Found\r\nLocation: http://second.example/\r\n\r\n\xff\xfe" + ok);
}

// One seed per request of an undisturbed run: the selector names the request, the page is its answer.
void ListDownloadSeeds(SeedWriter& seeds)
{
    class Quiet final : public DownloadObserver {
    public:
        void AddLogText(const std::string&, bool) override {}
        void SetButton(const std::string&, bool) override {}
        void SetCancelEnabled(bool) override {}
        void SetAnimationSite(int) override {}
        void SetDownloadResult(int) override {}
    };
    const sitesim::SampleWorld world = sitesim::MakeSampleWorld();
    std::vector<std::string> answers;
    fuzz::WorldGetter getter(world, &answers);
    FakeClock clock;
    Quiet observer;
    TempDir dir;
    RunListDownload(getter, clock, dir.path(), observer);
    for (std::size_t i = 0; i < answers.size() && i < 128; ++i) {
        seeds.Add("list_download", static_cast<unsigned char>(i | (i % 2 == 0 ? 0x80 : 0)), answers[i]);
    }
}

void TextSeeds(SeedWriter& seeds)
{
    using namespace std::string_literals;
    seeds.Add("filter", "bike -red \"blue car\"\0Red Bike for sale\0a blue car too"s);
    seeds.Add("filter", "ke fo,-xyz\0Bike\0For sale"s);
    seeds.Add("filter", "\"unclosed quote, -\0title\0"s);
    seeds.Add("html_item", 0, "Red bike\x01<a href=\"mailto:a@b.example\">a@b</a><br />text\x01http://x.example/1\x01Austin");
    seeds.Add("html_item", 1, "<img src=x onerror=alert(1)>\x01<b onclick=x title=\"<script>\">\x01javascript:x\x01<scr");
    seeds.Add("html_item", 2, "t\x01d\x01l\x01c\x01<div onclick=\"f(**COUNTER**)\">**ITEMTITLE**</div><script>g()</script>");
    seeds.Add("url_encode", "mountain bike");
    seeds.Add("url_encode", "caf\xe9 & co/50%+");
    seeds.Add("url_encode", "");
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_DIRECTORY\n", argv[0]);
        return 2;
    }
    SeedWriter seeds{fs::path(argv[1])};
    const auto ads = sitesim::InventAds(7, 12, "sfbay.craigslist.org", "bike");
    SettingsSeeds(seeds);
    SearchFileSeeds(seeds, ads);
    ListSeeds(seeds);
    FeedSeeds(seeds, ads);
    AdPageSeeds(seeds);
    HttpSeeds(seeds);
    TextSeeds(seeds);
    ListDownloadSeeds(seeds);
    return 0;
}
