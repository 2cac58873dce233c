#include "results/ResultRecord.h"

namespace trawl {

std::string_view RecordView::Get(Field field) const
{
    switch (field) {
    case Field::Date: return Date;
    case Field::Title: return Title;
    case Field::City: return City;
    case Field::Section: return Section;
    case Field::URI: return URI;
    case Field::FullText: return FullText;
    case Field::NewMark: return NewMark;
    }
    return {};
}

ResultRecord RecordView::Copy() const
{
    return ResultRecord{std::string(Date),    std::string(Title),    std::string(City),   std::string(Section),
                        std::string(URI),     std::string(FullText), std::string(NewMark)};
}

std::string StoredFullTextCell(std::string_view fullText)
{
    if (fullText.size() <= 50) {
        return {};
    }
    return fullText.find(kRssMarker) != std::string_view::npos ? "RSS" : "Yes";
}

std::string AddedFullTextCell(std::string_view fullText) { return fullText.size() > 25 ? "RSS" : std::string(); }

} // namespace trawl
