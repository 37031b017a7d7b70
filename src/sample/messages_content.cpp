#include "sample/messages_content.h"

#include <cctype>
#include <cstdio>

#include "base/ole_date.h"
#include "base/text.h"
#include "jet/value.h"
#include "sample/zip.h"

namespace tdv::sample {
namespace {

std::string upper(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

std::string outsideNumber(SampleRandom& rng) {
    static const char* const kAreas[] = {"206", "425", "503", "612", "720", "919"};
    char digits[16];
    std::snprintf(digits, sizeof digits, "%s555%04u", kAreas[rng.below(6)], rng.below(10000));
    return digits;
}

void splitDate(double ole, int64_t& y, unsigned& mo, unsigned& d, int64_t& secs, int64_t& days) {
    days = static_cast<int64_t>(ole);
    secs = static_cast<int64_t>((ole - static_cast<double>(days)) * 86400.0 + 0.5);
    if (secs >= 86400) {
        secs -= 86400;
        ++days;
    }
    base::civilFromDays(days - base::kOleEpochToUnixDays, y, mo, d);
}

}  // namespace

DirectoryNaming directoryNaming(const std::string& mailDomain) {
    std::string org = upper(mailDomain.substr(0, mailDomain.find('.')));
    return {org.empty() ? "ORG" : org, "HQ"};
}

std::string directoryNameAddress(const DirectoryNaming& naming, const std::string& alias,
                                 bool lowerCase) {
    std::string address =
        "/O=" + naming.organisation + "/OU=" + naming.site + "/CN=RECIPIENTS/CN=" + alias;
    return lowerCase ? base::asciiLower(address) : address;
}

Sender userSender(SenderKind kind, const SampleUser& user, const DirectoryNaming& naming,
                  const std::string& mailDomain) {
    Sender s;
    s.kind = kind;
    s.alias = user.alias;
    s.displayName = user.alias;
    if (!user.extension.empty()) s.callerAni = user.extension;
    switch (kind) {
        case SenderKind::ShortName:
            s.address = "CN=" + user.alias + "/O=" + naming.organisation;
            break;
        case SenderKind::InternalSmtp:
            s.address = user.smtpAddress.empty() ? user.alias + "@" + mailDomain : user.smtpAddress;
            s.callerAni.reset();
            break;
        default:
            s.kind = SenderKind::DirectoryName;
            s.address = directoryNameAddress(naming, user.alias);
            break;
    }
    return s;
}

Sender outsideCaller(SampleRandom& rng) {
    Sender s;
    s.kind = SenderKind::OutsideCaller;
    s.address = kSystemSender;
    // A fifth of outside callers withhold their number.
    if (!rng.percent(20)) s.callerAni = outsideNumber(rng);
    s.displayName = s.callerAni ? *s.callerAni : "an unknown caller";
    return s;
}

Sender externalSmtpSender(SampleRandom& rng) {
    static const char* const kPeople[] = {"a.lindqvist", "m.okafor", "sales",   "noreply",
                                          "j.moreau",    "k.tanaka", "invoices"};
    static const char* const kDomains[] = {"northwind-partners.com", "fabrikam.net",
                                           "contoso-supply.co.uk", "adventure-works.de"};
    Sender s;
    s.kind = SenderKind::ExternalSmtp;
    s.address = std::string(kPeople[rng.below(7)]) + "@" + kDomains[rng.below(4)];
    s.displayName = s.address;
    return s;
}

std::string voiceSubject(const Sender& sender) {
    if (sender.kind == SenderKind::OutsideCaller) return "Message from " + sender.displayName;
    std::string subject = "Voice Message from " + sender.displayName;
    if (sender.callerAni) subject += " (" + *sender.callerAni + ")";
    return subject;
}

std::string emailSubject(SampleRandom& rng) {
    static const std::vector<std::string> kSubjects = {
        "Quarterly figures",      "Re: Budget meeting",    "Réunion du comité",
        "Rückruf erbeten",        "Llamada de José Núñez", "Printer on 3rd floor",
        "FW: Holiday schedule",   "Invoice 2026-1187",     "Lunch on Friday?",
        "Übergabe – Schichtplan", "Ticket #4471 updated",  "Welcome aboard!"};
    return rng.pick(kSubjects);
}

std::string rfc2822Date(double oleDate) {
    static const char* const kDays[] = {"Thu", "Fri", "Sat", "Sun", "Mon", "Tue", "Wed"};
    static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    int64_t y, secs, days;
    unsigned mo, d;
    splitDate(oleDate, y, mo, d, secs, days);
    const int64_t unixDays = days - base::kOleEpochToUnixDays;  // 1970-01-01 was a Thursday
    const auto weekday = static_cast<size_t>(((unixDays % 7) + 7) % 7);
    char buf[64];
    std::snprintf(buf, sizeof buf, "%s, %u %s %lld %02lld:%02lld:%02lld +0000", kDays[weekday], d,
                  kMonths[mo - 1], static_cast<long long>(y), static_cast<long long>(secs / 3600),
                  static_cast<long long>(secs / 60 % 60), static_cast<long long>(secs % 60));
    return buf;
}

std::string compactDate(double oleDate) {
    int64_t y, secs, days;
    unsigned mo, d;
    splitDate(oleDate, y, mo, d, secs, days);
    char buf[16];
    std::snprintf(buf, sizeof buf, "%04lld%02u%02u", static_cast<long long>(y), mo, d);
    return buf;
}

std::string emlText(const EmailMessage& m) {
    std::string eml;
    eml += "Message-ID: <" + m.messageId + ">\r\n";
    eml += "Date: " + rfc2822Date(m.sent) + "\r\n";
    eml += "From: " + m.from + "\r\n";
    eml += "To: " + m.to + "\r\n";
    eml += "Subject: " + m.subject + "\r\n";
    eml += "MIME-Version: 1.0\r\n";
    eml += "Content-Type: text/plain; charset=utf-8\r\n";
    eml += "Content-Transfer-Encoding: 8bit\r\n\r\n";
    eml += m.body;
    if (eml.size() < 2 || eml.compare(eml.size() - 2, 2, "\r\n") != 0) eml += "\r\n";
    return eml;
}

std::vector<uint8_t> emailArchive(const EmailMessage& message) {
    std::string name = message.messageId.substr(0, message.messageId.find('@'));
    return makeZip({{name + ".eml", emlText(message)}});
}

std::string fileNameSafe(const std::string& alias) {
    static const std::string kRefused = "<>:\"/\\|?* ";
    std::string out;
    for (char c : alias) {
        const auto b = static_cast<unsigned char>(c);
        out += b < 0x20 || b >= 0x80 || kRefused.find(c) != std::string::npos ? '_' : c;
    }
    return out.empty() ? "_" : out;
}

}  // namespace tdv::sample
