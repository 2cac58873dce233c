#include "RecordGenerator.h"

#include "results/ResultStore.h"

#include <array>
#include <cstdio>

namespace trawl::bench {

namespace {

// splitmix64: tiny, fast and good enough to spread benchmark data.
class Random {
public:
    explicit Random(std::uint64_t state) : m_state(state) {}
    std::uint64_t Next()
    {
        std::uint64_t z = (m_state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    std::size_t Below(std::size_t n) { return static_cast<std::size_t>(Next() % n); }
    double Unit() { return static_cast<double>(Next() >> 11) * (1.0 / 9007199254740992.0); }

private:
    std::uint64_t m_state;
};

constexpr std::array<std::string_view, 40> kCityHosts = {
    "sfbay",       "newyork",   "losangeles",   "chicago",    "washingtondc", "boston",      "seattle",  "portland",
    "austin",      "denver",    "atlanta",      "miami",      "phoenix",      "dallas",      "houston",  "sandiego",
    "minneapolis", "detroit",   "philadelphia", "pittsburgh", "toronto",      "vancouver",   "montreal", "ottawa",
    "calgary",     "edmonton",  "winnipeg",     "halifax",    "sacramento",   "orlando",     "tampa",    "nashville",
    "raleigh",     "charlotte", "stlouis",      "kansascity", "saltlakecity", "albuquerque", "honolulu", "anchorage",
};

constexpr std::array<std::string_view, 16> kSections = {
    "bicycles",     "furniture", "electronics", "cars & trucks",       "motorcycles",    "boats",
    "books",        "clothes",   "computers",   "musical instruments", "sporting goods", "tools",
    "toys & games", "antiques",  "appliances",  "household items",
};

constexpr std::array<std::string_view, 16> kSectionCodes = {
    "bik", "fur", "ele", "cto", "mcy", "boa", "bks", "clo", "sys", "msg", "spo", "tls", "tag", "atq", "app", "hsh",
};

constexpr std::array<std::string_view, 6> kAreas = {"/nby", "/eby", "/sfc", "/brk", "/mnh", "/que"};

// Mixed-case words for titles and texts; "bike" and "vintage" are mixed in at fixed rates below.
constexpr std::array<std::string_view, 48> kWords = {
    "Great",    "condition", "for",    "sale",  "cheap",   "Must",     "go",    "best",    "offer",  "Red",
    "blue",     "green",     "black",  "white", "large",   "small",    "New",   "used",    "Trek",   "Schwinn",
    "Giant",    "frame",     "wheels", "tires", "seat",    "mountain", "road",  "hybrid",  "pickup", "only",
    "delivery", "available", "cash",   "works", "perfect", "clean",    "smoke", "free",    "home",   "moving",
    "OBO",      "price",     "firm",   "call",  "text",    "email",    "today", "weekend",
};

std::string MakePool(Random& random)
{
    std::string pool;
    pool.reserve(1 << 20);
    while (pool.size() < (1u << 20)) {
        const std::size_t pick = random.Below(10000);
        if (pick < 20) {
            pool += "Bike";
        } else if (pick < 25) {
            pool += "VINTAGE";
        } else {
            pool += kWords[random.Below(kWords.size())];
        }
        pool += random.Below(12) == 0 ? ". " : " ";
    }
    return pool;
}

void AppendDigits(std::string& out, std::size_t value, int width)
{
    char text[32];
    std::snprintf(text, sizeof text, "%0*zu", width, value);
    out += text;
}

} // namespace

std::span<const std::string_view> GeneratedCityHosts()
{
    return kCityHosts;
}

RecordGenerator::RecordGenerator(std::uint32_t seed, bool emptyTexts) : m_seed(seed), m_emptyTexts(emptyTexts)
{
    Random random(seed * 0x2545F4914F6CDD1Dull + 1);
    m_pool = MakePool(random);
}

ResultRecord RecordGenerator::Record(std::size_t index) const
{
    ResultRecord record;
    Record(index, record);
    return record;
}

void RecordGenerator::Record(std::size_t index, ResultRecord& into) const
{
    Random random((m_seed << 32) ^ (index * 0xD1B54A32D192ED03ull));
    const std::size_t city = random.Below(kCityHosts.size());
    const std::size_t section = random.Below(kSections.size());

    into.Date.clear();
    const int year = 2023 + static_cast<int>(random.Below(2));
    char date[16];
    std::snprintf(date, sizeof date, "%04d-%02d-%02d", year, 1 + static_cast<int>(random.Below(12)),
                  1 + static_cast<int>(random.Below(28)));
    into.Date = date;

    into.Title.clear();
    while (into.Title.size() < 60) {
        const std::size_t pick = random.Below(1000);
        if (pick < 30) {
            into.Title += "bike";
        } else if (pick < 35) {
            into.Title += "Vintage";
        } else {
            into.Title += kWords[random.Below(kWords.size())];
        }
        into.Title += ' ';
    }
    into.Title.resize(60);

    into.City = kCityHosts[city];
    into.City[0] = static_cast<char>(into.City[0] - 32);
    into.Section = kSections[section];

    into.URI = "http://";
    into.URI += kCityHosts[city];
    if (random.Below(4) != 0) {
        into.URI += ".craigslist.org";
        if (random.Below(3) == 0) {
            into.URI += kAreas[random.Below(kAreas.size())];
        }
        into.URI += '/';
        into.URI += kSectionCodes[section];
        into.URI += '/';
        AppendDigits(into.URI, 1000000000 + index, 10);
        into.URI += ".html";
    } else {
        into.URI += ".kijiji.ca/c-";
        const std::size_t slug = 10 + random.Below(31);
        const std::size_t from = random.Below(m_pool.size() - 64);
        for (std::size_t k = 0; k < slug; ++k) {
            const char c = m_pool[from + k];
            into.URI += c == ' ' || c == '.' ? '-' : static_cast<char>(c | 0x20);
        }
        into.URI += "-W0QQAdIdZ";
        AppendDigits(into.URI, 1000000000 + index, 10);
    }

    into.FullText.clear();
    if (!m_emptyTexts) {
        const double u = random.Unit();
        const std::size_t length = static_cast<std::size_t>(3072.0 * u * u);
        if (random.Below(10) < 4) {
            into.FullText = kRssMarker;
        }
        const std::size_t from = random.Below(m_pool.size() - 4096);
        into.FullText.append(m_pool, from, length);
    }
    into.NewMark = random.Below(10) < 3 ? std::string(kNewMarkYes) : std::string();
}

std::vector<ResultRecord> GenerateRecords(std::size_t n, std::uint32_t seed, bool emptyTexts)
{
    const RecordGenerator generator(seed, emptyTexts);
    std::vector<ResultRecord> records(n);
    for (std::size_t i = 0; i < n; ++i) {
        generator.Record(i, records[i]);
    }
    return records;
}

std::size_t FillStore(ResultStore& store, std::size_t n, std::uint32_t seed, bool emptyTexts)
{
    const RecordGenerator generator(seed, emptyTexts);
    ResultRecord record;
    auto locked = store.Lock();
    for (std::size_t i = 0; i < n; ++i) {
        generator.Record(i, record);
        if (!locked.AppendLoaded(record)) {
            return i;
        }
    }
    return n;
}

std::size_t GeneratedIndexOfLink(std::string_view link)
{
    std::size_t end = link.size();
    if (link.ends_with(".html")) {
        end -= 5;
    }
    if (end < 10) {
        return 0;
    }
    std::size_t value = 0;
    for (std::size_t k = end - 10; k < end; ++k) {
        value = value * 10 + static_cast<std::size_t>(link[k] - '0');
    }
    return value - 1000000000;
}

} // namespace trawl::bench
