#include "refdata/Geography.h"

#include "app/TextUtil.h"
#include "sites/Endpoints.h"

#include <array>

namespace trawl {

namespace {

// ISO 3166-1 alpha-2 codes with their English short names, by code; AQ is left out, the Netherlands
// Antilles are kept, and Craigslist's "UK" follows "GB". Names are single-byte Latin-1 text.
constexpr std::array<std::string_view, kCountryCount> kCountries = {
    "AD Andorra",
    "AE United Arab Emirates",
    "AF Afghanistan",
    "AG Antigua and Barbuda",
    "AI Anguilla",
    "AL Albania",
    "AM Armenia",
    "AN Netherlands Antilles",
    "AO Angola",
    "AR Argentina",
    "AS American Samoa",
    "AT Austria",
    "AU Australia",
    "AW Aruba",
    "AX \xC5"
    "land Islands",
    "AZ Azerbaijan",
    "BA Bosnia and Herzegovina",
    "BB Barbados",
    "BD Bangladesh",
    "BE Belgium",
    "BF Burkina Faso",
    "BG Bulgaria",
    "BH Bahrain",
    "BI Burundi",
    "BJ Benin",
    "BL Saint Barth\xE9"
    "lemy",
    "BM Bermuda",
    "BN Brunei Darussalam",
    "BO Bolivia",
    "BR Brazil",
    "BS Bahamas",
    "BT Bhutan",
    "BV Bouvet Island",
    "BW Botswana",
    "BY Belarus",
    "BZ Belize",
    "CA Canada",
    "CC Cocos (Keeling) Islands",
    "CD Congo, the Democratic Republic of the",
    "CF Central African Republic",
    "CG Congo",
    "CH Switzerland",
    "CI C\xF4"
    "te d'Ivoire",
    "CK Cook Islands",
    "CL Chile",
    "CM Cameroon",
    "CN China",
    "CO Colombia",
    "CR Costa Rica",
    "CU Cuba",
    "CV Cape Verde",
    "CX Christmas Island",
    "CY Cyprus",
    "CZ Czech Republic",
    "DE Germany",
    "DJ Djibouti",
    "DK Denmark",
    "DM Dominica",
    "DO Dominican Republic",
    "DZ Algeria",
    "EC Ecuador",
    "EE Estonia",
    "EG Egypt",
    "EH Western Sahara",
    "ER Eritrea",
    "ES Spain",
    "ET Ethiopia",
    "FI Finland",
    "FJ Fiji",
    "FK Falkland Islands (Malvinas)",
    "FM Micronesia, Federated States of",
    "FO Faroe Islands",
    "FR France",
    "GA Gabon",
    "GB United Kingdom",
    "UK United Kingdom",
    "GD Grenada",
    "GE Georgia",
    "GF French Guiana",
    "GG Guernsey",
    "GH Ghana",
    "GI Gibraltar",
    "GL Greenland",
    "GM Gambia",
    "GN Guinea",
    "GP Guadeloupe",
    "GQ Equatorial Guinea",
    "GR Greece",
    "GS South Georgia and the South Sandwich Islands",
    "GT Guatemala",
    "GU Guam",
    "GW Guinea-Bissau",
    "GY Guyana",
    "HK Hong Kong",
    "HM Heard Island and McDonald Islands",
    "HN Honduras",
    "HR Croatia",
    "HT Haiti",
    "HU Hungary",
    "ID Indonesia",
    "IE Ireland",
    "IL Israel",
    "IM Isle of Man",
    "IN India",
    "IO British Indian Ocean Territory",
    "IQ Iraq",
    "IR Iran, Islamic Republic of",
    "IS Iceland",
    "IT Italy",
    "JE Jersey",
    "JM Jamaica",
    "JO Jordan",
    "JP Japan",
    "KE Kenya",
    "KG Kyrgyzstan",
    "KH Cambodia",
    "KI Kiribati",
    "KM Comoros",
    "KN Saint Kitts and Nevis",
    "KP Korea, Democratic People's Republic of",
    "KR Korea, Republic of",
    "KW Kuwait",
    "KY Cayman Islands",
    "KZ Kazakhstan",
    "LA Lao People's Democratic Republic",
    "LB Lebanon",
    "LC Saint Lucia",
    "LI Liechtenstein",
    "LK Sri Lanka",
    "LR Liberia",
    "LS Lesotho",
    "LT Lithuania",
    "LU Luxembourg",
    "LV Latvia",
    "LY Libyan Arab Jamahiriya",
    "MA Morocco",
    "MC Monaco",
    "MD Moldova, Republic of",
    "ME Montenegro",
    "MF Saint Martin",
    "MG Madagascar",
    "MH Marshall Islands",
    "MK Macedonia, the Former Yugoslav Republic of",
    "ML Mali",
    "MM Myanmar",
    "MN Mongolia",
    "MO Macao",
    "MP Northern Mariana Islands",
    "MQ Martinique",
    "MR Mauritania",
    "MS Montserrat",
    "MT Malta",
    "MU Mauritius",
    "MV Maldives",
    "MW Malawi",
    "MX Mexico",
    "MY Malaysia",
    "MZ Mozambique",
    "NA Namibia",
    "NC New Caledonia",
    "NE Niger",
    "NF Norfolk Island",
    "NG Nigeria",
    "NI Nicaragua",
    "NL Netherlands",
    "NO Norway",
    "NP Nepal",
    "NR Nauru",
    "NU Niue",
    "NZ New Zealand",
    "OM Oman",
    "PA Panama",
    "PE Peru",
    "PF French Polynesia",
    "PG Papua New Guinea",
    "PH Philippines",
    "PK Pakistan",
    "PL Poland",
    "PM Saint Pierre and Miquelon",
    "PN Pitcairn",
    "PR Puerto Rico",
    "PS Palestinian Territory, Occupied",
    "PT Portugal",
    "PW Palau",
    "PY Paraguay",
    "QA Qatar",
    "RE R\xE9"
    "union",
    "RO Romania",
    "RS Serbia",
    "RU Russian Federation",
    "RW Rwanda",
    "SA Saudi Arabia",
    "SB Solomon Islands",
    "SC Seychelles",
    "SD Sudan",
    "SE Sweden",
    "SG Singapore",
    "SH Saint Helena",
    "SI Slovenia",
    "SJ Svalbard and Jan Mayen",
    "SK Slovakia",
    "SL Sierra Leone",
    "SM San Marino",
    "SN Senegal",
    "SO Somalia",
    "SR Suriname",
    "ST Sao Tome and Principe",
    "SV El Salvador",
    "SY Syrian Arab Republic",
    "SZ Swaziland",
    "TC Turks and Caicos Islands",
    "TD Chad",
    "TF French Southern Territories",
    "TG Togo",
    "TH Thailand",
    "TJ Tajikistan",
    "TK Tokelau",
    "TL Timor-Leste",
    "TM Turkmenistan",
    "TN Tunisia",
    "TO Tonga",
    "TR Turkey",
    "TT Trinidad and Tobago",
    "TV Tuvalu",
    "TW Taiwan, Province of China",
    "TZ Tanzania, United Republic of",
    "UA Ukraine",
    "UG Uganda",
    "UM United States Minor Outlying Islands",
    "US United States",
    "UY Uruguay",
    "UZ Uzbekistan",
    "VA Holy See (Vatican City State)",
    "VC Saint Vincent and the Grenadines",
    "VE Venezuela",
    "VG Virgin Islands, British",
    "VI Virgin Islands, U.S.",
    "VN Viet Nam",
    "VU Vanuatu",
    "WF Wallis and Futuna",
    "WS Samoa",
    "YE Yemen",
    "YT Mayotte",
    "ZA South Africa",
    "ZM Zambia",
    "ZW Zimbabwe",
};

struct RegionGroup {
    std::string_view region;
    std::string_view codes; // space-separated
};

// Some codes sit in a group for the sites' sake rather than by geography (FM, HM, TG, MZ, NA).
constexpr RegionGroup kRegions[] = {
    {"North America", "CA PM PR US"},
    {"Central America", "CR GT MX NI PA SV"},
    {"South America", "AR BO BR CL CO EC FK FM GF GS GY PE PY SR UY VE"},
    {"Europe", "AD AL AT BA BE BG BY CH CY CZ DE DK EE ES FI FO FR GB UK GG GI GR HR HU IE IM IS IT JE LI LT LU LV MC "
               "MD ME MK MT NL NO PL PT RO RS SE SI SJ SK SM UA VA"},
    {"Africa", "AO BF BI BJ BW CD CF CG CI CM CV DJ DZ EG EH ER ET GA GH GM GN GQ GW HM KE KM LR LS LY MA MG ML MR MW "
               "NE NG RE RW SD SL SN SO ST SZ TD TN TZ UG YT ZA ZM ZW"},
    {"Oceania", "AU CC CK CX FJ KI MP NC NF NR NU NZ PF PG PW SB TG TK TO TV VU WF"},
    {"Asia", "AE AF AM AZ BD BH BN BT CN GE HK ID IL IN IO IQ IR JO JP KG KH KP KR KW KZ LA LB LK MM MN MO MY MZ NA NP "
             "OM PH PK PS QA RU SA SG SY TH TJ TL TM TR TW UZ VN YE"},
};

constexpr StateInfo kUnitedStates[] = {
    {"Alabama", "AL"},        {"Alaska", "AK"},         {"Arizona", "AZ"},
    {"Arkansas", "AR"},       {"California", "CA"},     {"Colorado", "CO"},
    {"Connecticut", "CT"},    {"Delaware", "DE"},       {"District of Columbia", "DC"},
    {"Florida", "FL"},        {"Georgia", "GA"},        {"Hawaii", "HI"},
    {"Idaho", "ID"},          {"Illinois", "IL"},       {"Indiana", "IN"},
    {"Iowa", "IA"},           {"Kansas", "KS"},         {"Kentucky", "KY"},
    {"Louisiana", "LA"},      {"Maine", "ME"},          {"Maryland", "MD"},
    {"Massachusetts", "MA"},  {"Michigan", "MI"},       {"Minnesota", "MN"},
    {"Mississippi", "MS"},    {"Missouri", "MO"},       {"Montana", "MT"},
    {"Nebraska", "NE"},       {"Nevada", "NV"},         {"New Hampshire", "NH"},
    {"New Jersey", "NJ"},     {"New Mexico", "NM"},     {"New York", "NY"},
    {"North Carolina", "NC"}, {"North Dakota", "ND"},   {"Ohio", "OH"},
    {"Oklahoma", "OK"},       {"Oregon", "OR"},         {"Pennsylvania", "PA"},
    {"Rhode Island", "RI"},   {"South Carolina", "SC"}, {"South Dakota", "SD"},
    {"Tennessee", "TN"},      {"Texas", "TX"},          {"Utah", "UT"},
    {"Vermont", "VT"},        {"Virginia", "VA"},       {"Washington", "WA"},
    {"West Virginia", "WV"},  {"Wisconsin", "WI"},      {"Wyoming", "WY"},
};

constexpr StateInfo kCanada[] = {
    {"Ontario", "ON"},
    {"Quebec", "QC"},
    {"Nova Scotia", "NS"},
    {"New Brunswick", "NB"},
    {"Manitoba", "MB"},
    {"British Columbia", "BC"},
    {"Prince Edward Island", "PE"},
    {"Saskatchewan", "SK"},
    {"Alberta", "AB"},
    {"Newfoundland and Labrador", "NL"},
    {"Yukon Territory", "YT"},
    {"Nunavut", "NU"},
    {"Northwest Territories", "NT"},
};

constexpr StateInfo kAustralia[] = {
    {"New South Wales", "NSW"},
    {"Queensland", "QLD"},
    {"South Australia", "SA"},
    {"Tasmania", "TAS"},
    {"Victoria", "VIC"},
    {"Western Australia", "WA"},
    {"Australian Capital Territory", "ACT"},
    {"Northern Territory", "NT"},
};

bool ListHoldsCode(std::string_view codes, std::string_view code)
{
    for (std::size_t pos = 0; pos + code.size() <= codes.size(); pos += 3) {
        if (codes.substr(pos, 2) == code) {
            return true;
        }
    }
    return false;
}

std::string_view StateCodeByName(std::span<const StateInfo> table, std::string_view name)
{
    for (const StateInfo& state : table) {
        if (state.name == name) {
            return state.code;
        }
    }
    return {};
}

constexpr std::string_view kUnknownState = "--";

} // namespace

std::string CountryEntry(int i)
{
    if (i <= 0) {
        return std::to_string(kCountryCount);
    }
    if (i > kCountryCount) {
        return {};
    }
    return std::string(kCountries[static_cast<std::size_t>(i - 1)]);
}

std::span<const std::string_view> CountryEntries()
{
    return kCountries;
}

std::string RegionOfCountry(std::string_view code)
{
    const std::string upper = ToUpperAscii(code);
    if (upper.size() == 2) {
        for (const RegionGroup& group : kRegions) {
            if (ListHoldsCode(group.codes, upper)) {
                return std::string(group.region);
            }
        }
    }
    return "Other";
}

std::span<const StateInfo> StateTable(StateCountry country)
{
    switch (country) {
    case StateCountry::UnitedStates:
        return kUnitedStates;
    case StateCountry::Canada:
        return kCanada;
    case StateCountry::Australia:
        return kAustralia;
    }
    return {};
}

std::string StateEntry(StateCountry country, int i, StatePart part)
{
    const auto table = StateTable(country);
    if (i == 0) {
        return std::to_string(table.size());
    }
    if (i < 0 || static_cast<std::size_t>(i) > table.size()) {
        return {};
    }
    const StateInfo& state = table[static_cast<std::size_t>(i - 1)];
    return std::string(part == StatePart::Name ? state.name : state.code);
}

std::string StateCodeOfLink(std::string_view link, const ReferenceTables& tables)
{
    const std::string lower = ToLowerAscii(link);
    if (endpoints::IsCraigslistLink(lower)) {
        for (const CLStateEntry& entry : tables.CLStateTable) {
            // An empty link would occur in every link and hand its state to all of them.
            if (!entry.CityURI.empty() && lower.find(entry.CityURI) != std::string::npos) {
                return entry.StateCode;
            }
        }
        return std::string(kUnknownState);
    }
    for (const KJCity& city : tables.KJCityTable) {
        if (!city.URL.empty() && lower.find(city.URL) != std::string::npos) {
            return std::string(StateCodeOfKijijiCity(city));
        }
    }
    return std::string(kUnknownState);
}

std::string_view StateCodeOfKijijiCity(const KJCity& city)
{
    std::string_view code;
    if (city.Country == "United States") {
        code = StateCodeByName(kUnitedStates, city.State);
    } else if (city.Country == "Canada") {
        code = StateCodeByName(kCanada, city.State);
    }
    return code.empty() ? kUnknownState : code;
}

} // namespace trawl
