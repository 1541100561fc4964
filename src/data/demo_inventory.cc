// The inventory and the solutions knowledge base of the demo help desk.

#include <cstdio>
#include <optional>
#include <random>
#include <string>

#include "data/demo_data.h"
#include "data/demo_inserter.h"
#include "data/demo_parts.h"

namespace kirvs {

namespace {

struct ItemPart {
  std::string_view description;
  std::string_view details;
  bool has_serial;
};

struct ItemKind {
  std::string_view prefix, description, product_type, manufacturer, model;
  double cost;
  bool personal;  // issued to a user, rather than shared equipment of IT
  ItemPart parts[4];
};

constexpr ItemKind kItemKinds[] = {
    {"LT",
     "Laptop 14 inch",
     "Hardware",
     "Lenovo",
     "ThinkPad T14",
     1450.0,
     true,
     {{"Processor", "Intel Core i5-1345U", false},
      {"Memory", "16 GB DDR5", false},
      {"Disk", "512 GB NVMe SSD", true},
      {"Operating System", "Windows 11 Pro 23H2", false}}},
    {"PC",
     "Desktop PC",
     "Hardware",
     "Dell",
     "OptiPlex 7010",
     980.0,
     true,
     {{"Processor", "Intel Core i7-13700", false},
      {"Memory", "32 GB DDR5", false},
      {"Disk", "1 TB NVMe SSD", true},
      {"Operating System", "Windows 11 Pro 23H2", false}}},
    {"MN",
     "Monitor 24 inch",
     "Hardware",
     "Dell",
     "P2423D",
     260.0,
     true,
     {{"Resolution", "2560 x 1440", false},
      {"Connections", "HDMI, DisplayPort, USB hub", false}}},
    {"PR",
     "Network printer",
     "Hardware",
     "HP",
     "LaserJet M507",
     720.0,
     false,
     {{"Duplex unit", "Automatic two-sided printing", true},
      {"Paper tray 2", "550 sheets", false},
      {"Network card", "Gigabit Ethernet, fixed address", false}}},
    {"MF",
     "Multifunction copier",
     "Hardware",
     "Canon",
     "imageRUNNER C3226",
     3900.0,
     false,
     {{"Scanner", "Scan to email and folder", false},
      {"Finisher", "Stapling finisher", true},
      {"Paper cassettes", "2 x 550 sheets", false}}},
    {"RT",
     "Branch router",
     "Network",
     "Cisco",
     "ISR 1111",
     1650.0,
     false,
     {{"WAN link", "Fibre 500/500 Mbit/s", false},
      {"Backup link", "4G modem", true},
      {"Firmware", "IOS XE 17.9", false}}},
    {"SW",
     "Network switch 48 port",
     "Network",
     "Cisco",
     "Catalyst 9200",
     4200.0,
     false,
     {{"Uplink module", "4 x 10G SFP+", true},
      {"Power supply", "Redundant 600 W", true},
      {"VLANs", "10 data, 20 voice, 30 warehouse", false}}},
    {"AP",
     "Wireless access point",
     "Network",
     "Ubiquiti",
     "U6 Pro",
     190.0,
     false,
     {{"Radios", "2.4 GHz and 5 GHz", false},
      {"Power", "PoE from switch", false}}},
    {"PH",
     "Desk phone",
     "Telephony",
     "Yealink",
     "T54W",
     210.0,
     true,
     {{"Extension", "Assigned by the phone system", false},
      {"Headset", "Wireless DECT headset", true}}},
    {"MB",
     "Mobile phone",
     "Telephony",
     "Samsung",
     "Galaxy A54",
     420.0,
     true,
     {{"SIM", "Company plan, 20 GB data", true},
      {"Device management", "Enrolled, work profile", false}}},
    {"LT",
     "Laptop 13 inch",
     "Hardware",
     "Apple",
     "MacBook Air M2",
     1700.0,
     true,
     {{"Memory", "16 GB unified", false},
      {"Disk", "512 GB SSD", false},
      {"Operating System", "macOS 14", false}}},
    {"PC",
     "Small form factor PC",
     "Hardware",
     "HP",
     "EliteDesk 800 G9",
     890.0,
     true,
     {{"Processor", "Intel Core i5-12500", false},
      {"Memory", "16 GB DDR5", false},
      {"Disk", "256 GB NVMe SSD", true}}},
};
static_assert(std::size(kItemKinds) == kDemoItems);

// A serial number that looks like one and is the same on every run.
std::string SerialNumber(std::string_view manufacturer, std::minstd_rand& rng) {
  char text[24];
  std::snprintf(text, sizeof text, "%.2s%08u", manufacturer.data(),
                static_cast<unsigned>(rng() % 100000000u));
  for (char* c = text; *c != '\0'; ++c) {
    if (*c >= 'a' && *c <= 'z') *c = static_cast<char>(*c - 'a' + 'A');
  }
  return text;
}

Status FillItems(Database* db, int scale) {
  RowInserter items(db,
                    "INSERT INTO Items (ItemId, Description, ProductType, "
                    "Manufacturer, Model, SerialNo, Location, Department, "
                    "UserId, PurchaseDate, PurchaseCost) "
                    "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
  RowInserter parts(db,
                    "INSERT INTO Item_Configuration (ItemId, SUBITEMID, "
                    "Description, Details, SerialNo) "
                    "VALUES (?, ?, ?, ?, ?)");
  std::minstd_rand rng(7001);
  const int count = kDemoItems * scale;
  for (int k = 0; k < count; ++k) {
    const ItemKind& kind = kItemKinds[k % kDemoItems];
    const DemoRequester& owner =
        kDemoRequesters[(k * 3) % std::size(kDemoRequesters)];
    char id[24];
    std::snprintf(id, sizeof id, "%.2s-%04d", kind.prefix.data(), k + 1);
    double bought = static_cast<int>(DemoNow()) - 30 - (k * 37) % 1100;
    std::optional<std::string_view> user_id;
    if (kind.personal) user_id = owner.user_id;
    items.Insert(id, kind.description, kind.product_type, kind.manufacturer,
                 kind.model, SerialNumber(kind.manufacturer, rng),
                 owner.location, kind.personal ? owner.department : "IT",
                 user_id, SqlMoment{bought}, kind.cost);
    int sub_item = 0;
    for (const ItemPart& part : kind.parts) {
      if (part.description.empty()) break;
      std::optional<std::string> serial;
      if (part.has_serial) serial = SerialNumber(kind.manufacturer, rng);
      parts.Insert(id, ++sub_item, part.description, part.details, serial);
    }
  }
  if (!items.status().ok()) return items.status();
  return parts.status();
}

struct SolutionText {
  std::string_view description, product, system, problem, solution, keywords;
};

constexpr SolutionText kSolutionTexts[] = {
    {"Account locked after password change", "WIN11", "Desktop",
     "User cannot log on after changing the password on another device.",
     "Unlock the account in the directory, then have the user sign in once "
     "on the office network so that cached credentials are refreshed.",
     "password locked logon account"},
    {"Outlook keeps prompting for the password", "OUTLOOK", "Email",
     "Outlook asks for the password every few minutes and will not keep it.",
     "Remove the saved mail credentials from the credential manager, close "
     "Outlook, and recreate the mail profile if the prompts continue.",
     "outlook password prompt profile"},
    {"Duplex jams on laser printers", "PRINTER", "Printing",
     "Paper jams in the duplex unit on two-sided jobs.",
     "Clean or replace the duplex rollers; check that the paper weight "
     "setting matches the loaded paper.",
     "printer jam duplex rollers"},
    {"VPN disconnects every few minutes", "VPN", "Network",
     "The remote access VPN drops regularly on home broadband.",
     "Update the VPN client to the current version and lower the keep-alive "
     "interval to 20 seconds in the connection profile.",
     "vpn disconnect home keepalive"},
    {"Branch office offline", "ROUTER", "Network",
     "A branch loses all network access at once.",
     "Check the router's power and WAN link lights; fail over to the 4G "
     "backup link and call the carrier if the fibre is down.",
     "branch router offline wan outage"},
    {"Calendar sharing", "OUTLOOK", "Email",
     "How to let colleagues see or edit a calendar.",
     "In the calendar view choose Share, add the colleagues and pick the "
     "permission level; they accept the invitation from their mail.",
     "calendar share permissions"},
    {"Monitor goes black after warm-up", "MONITOR", "Desktop",
     "Screen flickers and turns black after some minutes of use.",
     "Try another cable and port; if the fault stays with the monitor, "
     "replace it under warranty.",
     "monitor black flicker warranty"},
    {"Weak wireless signal", "WIFI", "Network",
     "Laptops lose the wireless network in parts of a building.",
     "Run a site survey; add an access point or move the existing one away "
     "from metal shelving.",
     "wireless wifi coverage signal"},
    {"Payroll run times out", "PAYROLL", "Finance",
     "The payroll calculation stops with a timeout on large runs.",
     "Rebuild the payroll database indexes and update statistics, then run "
     "the calculation again.",
     "payroll timeout database index"},
    {"Scan to email fails on copiers", "PRINTER", "Printing",
     "Scanned documents never arrive in the mailbox.",
     "Point the copier at the internal mail relay on port 25 and check that "
     "its sender address is allowed to relay.",
     "scan email smtp copier"},
};
static_assert(std::size(kSolutionTexts) == kDemoSolutions);

Status FillSolutions(Database* db, int scale) {
  RowInserter solutions(db,
                        "INSERT INTO Solutions (SolutionId, Description, "
                        "Product, System, Problem, Solution, Keywords, "
                        "Author, Created) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)");
  const int count = kDemoSolutions * scale;
  for (int k = 0; k < count; ++k) {
    const SolutionText& text = kSolutionTexts[k % kDemoSolutions];
    const DemoStaff& author = kDemoStaff[k % std::size(kDemoStaff)];
    // Older solutions have lower numbers, as they would have been written.
    double created =
        static_cast<int>(DemoNow()) - 400 + (400.0 * k) / count + 0.5;
    solutions.Insert(k + 1, text.description, text.product, text.system,
                     text.problem, text.solution, text.keywords, author.name,
                     SqlMoment{created});
  }
  return solutions.status();
}

}  // namespace

Status FillDemoInventory(Database* db, int scale) {
  Status s = FillItems(db, scale);
  if (s.ok()) s = FillSolutions(db, scale);
  return s;
}

}  // namespace kirvs
