// The contents of sample messages: who sent them, their subjects, and e-mail messages as
// the newer product's backup tool stores them (a ZIP archive holding one .eml file).
//
// Senders come in the forms the servers record in FromAddress:
//   - a directory name, /O=ORG/OU=SITE/CN=RECIPIENTS/CN=alias (the older product's voice
//     messages between users);
//   - the short form CN=alias/O=ORG;
//   - "Zerith Messaging System" for messages left by outside callers;
//   - an SMTP address, internal (a user's) or external (the newer product's e-mail).
// Every function is pure: the same arguments give the same text.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "sample/directory_random.h"
#include "sample/sample.h"

namespace tdv::sample {

inline constexpr const char* kSystemSender = "Zerith Messaging System";

enum class SenderKind { DirectoryName, ShortName, OutsideCaller, InternalSmtp, ExternalSmtp };

struct Sender {
    SenderKind kind = SenderKind::OutsideCaller;
    std::string address;               // FromAddress
    std::optional<std::string> alias;  // FromAlias (users only)
    std::optional<std::string> callerAni;
    std::string displayName;  // for subjects and e-mail headers
};

// The organisation and site of the directory names, from the mail domain
// ("harbourline.com" -> "HARBOURLINE", "HQ").
struct DirectoryNaming {
    std::string organisation;
    std::string site;
};
DirectoryNaming directoryNaming(const std::string& mailDomain);

// "/O=ORG/OU=SITE/CN=RECIPIENTS/CN=alias"; lowerCase writes the whole name in lower case,
// as some servers did.
std::string directoryNameAddress(const DirectoryNaming& naming, const std::string& alias,
                                 bool lowerCase = false);

Sender userSender(SenderKind kind, const SampleUser& user, const DirectoryNaming& naming,
                  const std::string& mailDomain);
Sender outsideCaller(SampleRandom& rng);
Sender externalSmtpSender(SampleRandom& rng);

std::string voiceSubject(const Sender& sender);
std::string emailSubject(SampleRandom& rng);

// "Tue, 14 Oct 2026 09:05:07 +0000" of an OLE date.
std::string rfc2822Date(double oleDate);
// "20261014" of an OLE date.
std::string compactDate(double oleDate);

struct EmailMessage {
    std::string messageId;  // without angle brackets
    std::string from, to, subject;
    double sent = 0;  // OLE date
    std::string body;
};
// The .eml text (CR LF line ends, UTF-8 body) and the ZIP archive holding it.
std::string emlText(const EmailMessage& message);
std::vector<uint8_t> emailArchive(const EmailMessage& message);

// The file-name form of an alias: characters Windows refuses in file names, blanks and
// anything outside ASCII become '_'.
std::string fileNameSafe(const std::string& alias);

}  // namespace tdv::sample
