#include "sample/directory_names.h"

#include "base/text.h"

#include <algorithm>
#include <cctype>
#include <utility>

namespace tdv::sample {

const std::vector<std::string>& sampleFirstNames() {
    static const std::vector<std::string> names = {
        "James",     "Mary",      "John",      "Patricia", "Robert",   "Jennifer", "Michael",
        "Linda",     "William",   "Elizabeth", "David",    "Barbara",  "Richard",  "Susan",
        "Joseph",    "Jessica",   "Thomas",    "Sarah",    "Charles",  "Karen",    "Daniel",
        "Nancy",     "Matthew",   "Lisa",      "Anthony",  "Betty",    "Mark",     "Margaret",
        "Donald",    "Sandra",    "Steven",    "Ashley",   "Paul",     "Kimberly", "Andrew",
        "Emily",     "Joshua",    "Donna",     "Kenneth",  "Michelle", "Kevin",    "Dorothy",
        "Brian",     "Carol",     "George",    "Amanda",   "Edward",   "Melissa",  "Ronald",
        "Deborah",   "Timothy",   "Stephanie", "Jason",    "Rebecca",  "Jeffrey",  "Sharon",
        "Ryan",      "Laura",     "Jacob",     "Cynthia",  "Gary",     "Kathleen", "Nicholas",
        "Amy",       "Eric",      "Shirley",   "Jonathan", "Angela",   "Stephen",  "Helen",
        "Larry",     "Anna",      "Justin",    "Brenda",   "Scott",    "Pamela",   "Brandon",
        "Nicole",    "Benjamin",  "Emma",      "Samuel",   "Samantha", "Gregory",  "Katherine",
        "Frank",     "Christine", "Alexander", "Debra",    "Raymond",  "Rachel",   "Patrick",
        "Catherine", "Jack",      "Carolyn",   "Dennis",   "Janet",    "Jerry",    "Ruth",
        "Tyler",     "Maria",     "Aaron",     "Heather",  "José",     "Zoë",      "François",
        "Jürgen",    "Søren",     "Ángel",     "Inés",     "Renée",    "Björn",    "Dagný",
        "Łukasz",    "Chloé",     "Noël",      "Mañuel",   "Hélène",   "Günter",   "Åsa",
        "Seán",      "Siobhán",   "D'Arcy",    "Jean-Luc", "Mary Ann", "Raúl",     "Agnès"};
    return names;
}

const std::vector<std::string>& sampleLastNames() {
    static const std::vector<std::string> names = {
        "Smith",      "Johnson",    "Williams",   "Brown",     "Jones",     "Garcia",
        "Miller",     "Davis",      "Rodriguez",  "Martinez",  "Hernandez", "Lopez",
        "Gonzalez",   "Wilson",     "Anderson",   "Thomas",    "Taylor",    "Moore",
        "Jackson",    "Martin",     "Lee",        "Perez",     "Thompson",  "White",
        "Harris",     "Sanchez",    "Clark",      "Ramirez",   "Lewis",     "Robinson",
        "Walker",     "Young",      "Allen",      "King",      "Wright",    "Scott",
        "Torres",     "Nguyen",     "Hill",       "Flores",    "Green",     "Adams",
        "Nelson",     "Baker",      "Hall",       "Rivera",    "Campbell",  "Mitchell",
        "Carter",     "Roberts",    "Gomez",      "Phillips",  "Evans",     "Turner",
        "Diaz",       "Parker",     "Cruz",       "Edwards",   "Collins",   "Reyes",
        "Stewart",    "Morris",     "Morales",    "Murphy",    "Cook",      "Rogers",
        "Gutierrez",  "Ortiz",      "Morgan",     "Cooper",    "Peterson",  "Bailey",
        "Reed",       "Kelly",      "Howard",     "Ramos",     "Kim",       "Cox",
        "Ward",       "Richardson", "Watson",     "Brooks",    "Chavez",    "Wood",
        "James",      "Bennett",    "Gray",       "Mendoza",   "Ruiz",      "Hughes",
        "Price",      "Alvarez",    "Castillo",   "Sanders",   "Patel",     "Myers",
        "Long",       "Ross",       "Foster",     "Jimenez",   "O'Brien",   "O'Neill",
        "D'Angelo",   "McDonald",   "Müller",     "Núñez",     "Peña",      "Schröder",
        "Lefèvre",    "Gärtner",    "Østergaard", "Dubois",    "Öztürk",    "Weiß",
        "Fernández",  "Ibáñez",     "Côté",       "Björklund", "Łęcki",     "Van der Berg",
        "De la Cruz", "St. John",   "Nakamura",   "Okafor",    "Kowalski",  "Novák"};
    return names;
}

namespace {

// The folded ASCII text of the Latin letters the name lists use (two-byte UTF-8 forms).
const std::vector<std::pair<std::string_view, std::string_view>>& foldTable() {
    static const std::vector<std::pair<std::string_view, std::string_view>> table = {
        {"á", "a"}, {"à", "a"}, {"â", "a"}, {"ä", "a"}, {"å", "a"},  {"Á", "a"}, {"Å", "a"},
        {"é", "e"}, {"è", "e"}, {"ê", "e"}, {"ë", "e"}, {"É", "e"},  {"í", "i"}, {"ï", "i"},
        {"ó", "o"}, {"ô", "o"}, {"ö", "o"}, {"ø", "o"}, {"Ö", "o"},  {"Ø", "o"}, {"ú", "u"},
        {"ü", "u"}, {"û", "u"}, {"ñ", "n"}, {"ç", "c"}, {"ß", "ss"}, {"ý", "y"}, {"ð", "d"},
        {"Ł", "l"}, {"ł", "l"}, {"ę", "e"}, {"Ä", "a"}, {"Ü", "u"},  {"Ñ", "n"}, {"Ç", "c"}};
    return table;
}

}  // namespace

std::string foldToAscii(std::string_view utf8) {
    std::string out;
    for (size_t i = 0; i < utf8.size();) {
        const unsigned char c = static_cast<unsigned char>(utf8[i]);
        if (c < 0x80) {
            if (std::isalnum(c)) out += static_cast<char>(std::tolower(c));
            ++i;
            continue;
        }
        bool folded = false;
        for (const auto& [from, to] : foldTable()) {
            if (utf8.substr(i, from.size()) == from) {
                out += to;
                i += from.size();
                folded = true;
                break;
            }
        }
        if (folded) continue;
        // Any other character: skip its whole UTF-8 sequence.
        ++i;
        while (i < utf8.size() && (static_cast<unsigned char>(utf8[i]) & 0xC0) == 0x80) ++i;
    }
    return out;
}

std::string AliasBook::claim(const std::string& base) {
    if (reserve(base)) return base;
    for (int n = 2;; ++n) {
        std::string candidate = base + std::to_string(n);
        if (reserve(candidate)) return candidate;
    }
}

bool AliasBook::reserve(const std::string& alias) {
    return taken_.insert(base::asciiLower(alias)).second;
}

}  // namespace tdv::sample
