#include "ui/HelpTexts.h"

namespace trawl::ui {

const char* HelpText(HelpTopic topic)
{
    switch (topic) {
    case HelpTopic::TotalResults:
        return "This tells you how many search results are in your currently loaded list.";
    case HelpTopic::NewResults:
        return "This tells you how many new results have been retrieved in this session.";
    case HelpTopic::BytesDownloaded:
        return "This tells you how many bytes of data in search feeds and ads have been downloaded in this session.";
    case HelpTopic::SearchDetail:
        return "This tells you the details (city, term, and section) of the search currently being performed.";
    case HelpTopic::ScanDetail:
        return "This tells you the URL of the current ad being downloaded by the deep scan.";
    case HelpTopic::SearchSite:
        return "This is blank if nothing is happening, or shows either a Lijiji or Craigslist icon depending on"
               " which site is being searched.";
    case HelpTopic::ScanSite:
        return "This is blank if nothing is happening, or shows either a Lijiji or Craigslist icon depending on"
               " which site is being downloaded from.";
    case HelpTopic::SearchLight:
        return "These lights indicate the status of the current search: dark for inactive, green for downloading,"
               " or red if it's experiencing a problem.";
    case HelpTopic::ScanLight:
        return "These lights indicate the status of the current deep scan download: dark for inactive, green for"
               " downloading, or red if it's experiencing a problem.";
    case HelpTopic::ViewSearchStatus:
        return "This button hides the deep scan details and views information about the current searches.";
    case HelpTopic::ViewScanStatus:
        return "This button hides the search details and views information about the current deep scan ad downloads.";
    case HelpTopic::TemplateSave:
        return "Click this to save your current HTML template. It will not be used for output until you save it.";
    case HelpTopic::TemplateCancel:
        return "Click this to abort any chages you've made to your HTML template and revert to the most recently"
               " saved version.";
    case HelpTopic::TemplateReset:
        return "Click this to discard your HTML template and replace it with the software's default template.";
    case HelpTopic::HeaderEditor:
        return "Enter the HTML header and container for the HTML output. You can use the macros **ITEM** for the"
               " location of the repeated items, **TIMESTAMP** for the time and date of the search, and **NAME**"
               " for the name of the search.";
    case HelpTopic::ItemEditor:
        return "Enter the HTML for the repeated items. In the item, you can use the macros **COUNTER** for the"
               " numeric item counter (useful for Javascripts), **ITEMTITLE** for the title of the item,"
               " **ITEMDATE** for the item's date (when it was posted), **ITEMCITY** for the city the item was"
               " found in, **ITEMSECTION** for the section the item was found in, **DESCRIPTION** for the text of"
               " the item (assuming a deep scan has been done), **NEW** for the word 'New' if the item is new, and"
               " **ITEMLINK** for a linkback to the item on Craigslist or Kijiji.";
    case HelpTopic::Go:
        return "Click this button to begin a new search, or if a search is already running, click it to abort the"
               " current search.";
    case HelpTopic::Load:
        return "Click this to load the results and settings of an older search.";
    case HelpTopic::Save:
        return "Click this to save the results and settings of this search so you can work on it more later.";
    case HelpTopic::ProgressBar:
        return "This tells you the progress of the current search.";
    case HelpTopic::Filter:
        return "This allows you to easily search inside your downloaded search results to fine tune your query very"
               " quickly.";
    case HelpTopic::Clear:
        return "This deletes all current search results.";
    case HelpTopic::OutputCsv:
        return "This outputs a CSV (comma separated volume) file of the current search results (either all, new, or"
               " selected items) for easy loading into spreadsheets, databases, and other programs.";
    case HelpTopic::ViewHtml:
        return "This loads the results of your search into your browser (either all, new, or selected items).";
    case HelpTopic::DeepScan:
        return "This goes through all your search results and downloads the result pages so you can view or search"
               " them offline.";
    case HelpTopic::ResultList:
        return "This is the list of current results. You can double click an individual result to view it in your"
               " browser. You can also select multiple items to output or view specific records with the buttons"
               " below. Clicking on the column headers sorts the list.";
    case HelpTopic::CraigslistCityTree:
        return "This lets you select which Craigslist cities or regions you'd like to search.";
    case HelpTopic::KijijiCityTree:
        return "This lets you select which Kijiji cities or regions you'd like to search.";
    case HelpTopic::SelectAllCities:
        return "Click this button to select all cities for searching.";
    case HelpTopic::ClearAllCities:
        return "Click this button to deselect all cities from searching.";
    case HelpTopic::CraigslistSectionTree:
        return "This lets you select which Craigslist sections will be searched. Selecting a parent section"
               " automatically  searches all sections within it.";
    case HelpTopic::KijijiSectionTree:
        return "This lets you select which Kijiji sections will be searched. Selecting a parent section"
               " automatically  searches all sections within it.";
    case HelpTopic::SelectAllSections:
        return "Click this button to select all sections for searching.";
    case HelpTopic::ClearAllSections:
        return "Click this button to deselect all sections from searching.";
    case HelpTopic::SearchTerms:
        return "Enter the terms you'd like to search for in this box, separating multiple terms with commas.";
    case HelpTopic::SearchName:
        return "Enter a name for your search in this box.";
    case HelpTopic::SearchCraigslist:
        return "Check this box if you'd like to include Craigslist in your searching.";
    case HelpTopic::SearchKijiji:
        return "Check this box if you'd like to include Kijiji in your searching.";
    case HelpTopic::RssDescription:
        return "Check this to attempt to get the full text of entries from the RSS feed (which should mean you"
               " won't need to do deep scans).";
    case HelpTopic::IncludeStateInCsv:
        return "Check this box to include a two-letter state column in the CSV files being outputted.";
    case HelpTopic::AllowMultipleInstances:
        return "If this box is checked you will be permitted to run multiple copies of the program at once."
               " Otherwise only a single copy can run at once, although it automatically try to add batch commands"
               " from the command line to the first instance if a second is executed if unchecked.";
    case HelpTopic::ConfirmSpawn:
        return "Check this to display a warning and information box before loading an ad in your web browser.";
    case HelpTopic::IncludeSiteInCsv:
        return "Check this box to include a column indicating the 'Kijiji' or 'Craigslist' source in CSV files"
               " being outputted.";
    case HelpTopic::OverrideRss:
        return "Check this to have deep scans download entries even if they have already been preloaded from the"
               " RSS feed. These downloads will be done at a lower priority, happening after completely blank slots.";
    case HelpTopic::AutoDeepScan:
        return "Check this box to automatically download the entries for each item as well as just the search"
               " results.";
    case HelpTopic::CheckForUpdates:
        return "Check this box if you'd like to have the software check for updates and tell you when they are"
               " available. Note that no updates will be automatically performed.";
    case HelpTopic::DiscardSearches:
        return "Check this box to automatically discard search results that are more than two months old.";
    case HelpTopic::SearchTitles:
        return "Check this box to only search the titles of ads (otherwise the text of the ad is searched as well).";
    case HelpTopic::HasPictures:
        return "Check this box to only search for ads that have pictures.";
    case HelpTopic::AutoSync:
        return "Check this box to have the software automatically attempt to synchronize your city and search"
               " sections between Craigslist and Kijiji. It's not perfect, but it will save you time and is"
               " recommended.";
    case HelpTopic::MaxResults:
        return "Set the maximum number of results to allow (the more you allow, the more memory the software will"
               " allocate). Recommended default is 25000. If you run out of space, just save your search, increase"
               " the number and restart.";
    case HelpTopic::MaxThreads:
        return "Set the maximum number of simultaneous internet connects to open per search. The more you use the"
               " faster it should go, although there is a maximum at which no gains are found.";
    case HelpTopic::MaxThreads2:
        return "Set the maximum number of simultaneous internet connects to open per deep scan session. The more"
               " you use the faster it should go, although there is a maximum at which no gains are found.";
    case HelpTopic::HostPause:
        return "Set the least time, in milliseconds, between two requests to the same site, shared by every search"
               " and deep scan connection. 0 asks as fast as the connections allow; a larger pause is kinder to"
               " the sites and less likely to get you refused.";
    case HelpTopic::Watch:
        return "Set how often, in minutes, the window repeats the current search by itself and saves it after each"
               " run (at least 10, so the sites are never hammered). 0 never repeats it. The repeats begin when a"
               " search ends; the Diagnostics page shows when the next one starts.";
    case HelpTopic::UserAgent:
        return "This sets the browser user agent string that it will pretend to be.";
    case HelpTopic::SettingsCancel:
        return "Click this to abort any changes you've made to the settings.";
    case HelpTopic::Apply:
        return "Click this to apply/save the changes you've made to the settings (if you don't click this, the"
               " changes will be discarded).";
    case HelpTopic::About:
        return "Click this to visit the homepage of this software using your browser.";
    }
    return "";
}

} // namespace trawl::ui
