// Client addresses as text: IPv4 from bytes 2..5, IPv6 with only the leading zero run
// compressed, and the record families a session may report.
#include "rdp_ctrl.h"
#include <test_support/library_fixture.h>

#include <ssolog/trace.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>
#include <ostream>
#include <vector>

namespace sessionctrl_test {
namespace {

using namespace test_support;

// Bytes of a client-address record: family, then the 20 address bytes.
std::vector<BYTE> AddressRecord(DWORD family, const std::vector<BYTE>& address) {
    std::vector<BYTE> record(sizeof(DWORD) + 20, 0);
    std::memcpy(record.data(), &family, sizeof(family));
    std::copy(address.begin(), address.end(), record.begin() + sizeof(DWORD));
    return record;
}

using Groups = std::array<unsigned, 8>;

// Address bytes as a client-address record carries them; bytes 0, 1, 18 and 19 hold
// noise that must never show.
std::array<unsigned char, 20> IPv6Bytes(const Groups& groups) {
    std::array<unsigned char, 20> bytes{};
    bytes.fill(0xEE);
    for (int i = 0; i < 8; ++i) {
        bytes[2 + 2 * i] = static_cast<unsigned char>(groups[i] >> 8);
        bytes[3 + 2 * i] = static_cast<unsigned char>(groups[i] & 0xFF);
    }
    return bytes;
}

struct IPv6Case {
    Groups groups;
    const wchar_t* text;
};

void PrintTo(const IPv6Case& c, std::ostream* out) { *out << ssolog::WideToUtf8(c.text); }

class IPv6TextTest : public LibraryFixture, public ::testing::WithParamInterface<IPv6Case> {};

TEST_P(IPv6TextTest, RendersGroupsWithOnlyTheLeadingZerosCompressed) {
    sessionctrl::RDPCtrl rdp;
    const auto bytes = IPv6Bytes(GetParam().groups);
    std::wstring text = L"previous";
    ASSERT_TRUE(rdp.FormatIPv6Address(bytes.data(), 20, text));
    EXPECT_EQ(text, GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Addresses, IPv6TextTest,
    ::testing::Values(IPv6Case{{0xfe80, 0, 0, 0, 1, 2, 3, 4}, L"fe80:0:0:0:1:2:3:4"},
                      IPv6Case{{0, 0, 0, 0, 0, 0, 0, 1}, L"::1"},
                      IPv6Case{{0x2001, 0xdb8, 0, 0, 0, 0, 0, 1}, L"2001:db8:0:0:0:0:0:1"},
                      IPv6Case{{0, 0, 0, 0, 0, 0xffff, 0xc000, 0x20a}, L"::ffff:c000:20a"},
                      IPv6Case{{0, 0, 0, 0, 0, 0, 0, 0}, L"::"},
                      IPv6Case{{1, 0, 0, 0, 0, 0, 0, 0}, L"1:0:0:0:0:0:0:0"},
                      IPv6Case{{0, 0, 0xabcd, 0, 0, 0, 0, 0}, L"::abcd:0:0:0:0:0"},
                      IPv6Case{{0xffff, 0xffff, 0xffff, 0xffff, 0xffff, 0xffff, 0xffff, 0xffff},
                               L"ffff:ffff:ffff:ffff:ffff:ffff:ffff:ffff"},
                      IPv6Case{{0x0a, 0x100, 0x1000, 0, 0, 0, 0, 0xf}, L"a:100:1000:0:0:0:0:f"}));

class AddressLengthTest : public LibraryFixture, public ::testing::WithParamInterface<DWORD> {};

TEST_P(AddressLengthTest, AnyLengthButTwentyProducesNothing) {
    sessionctrl::RDPCtrl rdp;
    const std::array<unsigned char, 24> bytes{0, 0, 10, 0, 0, 1};
    std::wstring v4 = L"untouched";
    std::wstring v6 = L"untouched";
    EXPECT_FALSE(rdp.FormatIPv4Address(bytes.data(), GetParam(), v4));
    EXPECT_FALSE(rdp.FormatIPv6Address(bytes.data(), GetParam(), v6));
    EXPECT_EQ(v4, L"untouched");
    EXPECT_EQ(v6, L"untouched");
}

INSTANTIATE_TEST_SUITE_P(Lengths, AddressLengthTest, ::testing::Values(0u, 4u, 16u, 19u, 21u, 24u));

// Session 5 answers the client-address query as the case says.
struct AddressCase {
    const char* name;
    std::optional<std::vector<BYTE>> record;  // nullopt: success without a record
    bool queryFails;
    bool result;
    const wchar_t* address;
    bool isLocal;  // the flag afterwards; it starts as the opposite, except on failure
};

void PrintTo(const AddressCase& c, std::ostream* out) { *out << c.name; }

class ClientAddressTest : public LibraryFixture,
                          public ::testing::WithParamInterface<AddressCase> {
protected:
    // Session 5 answers the client-address query with `record` (none: no buffer).
    static void GiveSession(const std::optional<std::vector<BYTE>>& record, bool fails) {
        winsim::SessionSpec session;
        session.id = 5;
        session.user = L"alice";
        session.clientAddress = std::nullopt;
        if (record) session.rawInfo[WTSClientAddress] = *record;
        if (fails) session.failingInfo[WTSClientAddress] = ERROR_ACCESS_DENIED;
        winsim::AddSession(session);
    }
};

TEST_P(ClientAddressTest, RecordBecomesAddressOrLocality) {
    const AddressCase& c = GetParam();
    GiveSession(c.record, c.queryFails);
    sessionctrl::RDPCtrl rdp;
    std::wstring address = L"stale";
    bool isLocal = c.queryFails ? c.isLocal : !c.isLocal;
    EXPECT_EQ(rdp.GetClientAddress(5, address, isLocal), c.result);
    EXPECT_EQ(address, c.address);  // emptied whatever the outcome
    EXPECT_EQ(isLocal, c.isLocal);
}

INSTANTIATE_TEST_SUITE_P(
    Records, ClientAddressTest,
    ::testing::Values(
        // Bytes 0 and 1 of the address are noise; IPv4 is bytes 2 to 5.
        AddressCase{"IPv4", AddressRecord(AF_INET, {0xDE, 0xAD, 192, 0, 2, 10, 0x77}), false,
                    true, L"192.0.2.10", false},
        AddressCase{"LongestIPv4", AddressRecord(AF_INET, {0, 0, 255, 255, 255, 255}), false,
                    true, L"255.255.255.255", false},
        AddressCase{"IPv6", AddressRecord(AF_INET6, {0, 0, 0x20, 0x01, 0x0d, 0xb8}), false, true,
                    L"2001:db8:0:0:0:0:0:0", false},
        AddressCase{"FamilyZero", AddressRecord(AF_UNSPEC, {0, 0, 10, 0, 0, 1}), false, false,
                    L"", false},
        AddressCase{"ShortRecord", std::vector<BYTE>{AF_INET, 0, 0, 0, 0, 0, 192, 0}, false,
                    false, L"", false},
        AddressCase{"NoRecordIsLocal", std::nullopt, false, true, L"", true},
        // A failed query leaves the flag as the caller had it.
        AddressCase{"QueryFails", std::nullopt, true, false, L"", true}));

// A backend that renders addresses its own way still gets the record's bytes.
class TaggingRdp : public sessionctrl::RDPCtrl {
public:
    bool FormatIPv4Address(const unsigned char* bytes, DWORD length, std::wstring& text) override {
        text = L"v4:" + std::to_wstring(length) + L":" + std::to_wstring(bytes[2]);
        return true;
    }
    bool FormatIPv6Address(const unsigned char* bytes, DWORD length, std::wstring& text) override {
        text = L"v6:" + std::to_wstring(length) + L":" + std::to_wstring(bytes[3]);
        return true;
    }
};

class AddressDispatchTest : public LibraryFixture {};

TEST_F(AddressDispatchTest, RecordIsRenderedThroughTheVirtualTable) {
    TaggingRdp tagging;
    std::wstring address;
    bool isLocal = true;
    winsim::SessionSpec session;
    session.id = 5;
    session.rawInfo[WTSClientAddress] = AddressRecord(AF_INET, {0, 0, 172, 16, 0, 1});
    winsim::AddSession(session);
    ASSERT_TRUE(tagging.GetClientAddress(5, address, isLocal));
    EXPECT_EQ(address, L"v4:20:172");
    session.rawInfo[WTSClientAddress] = AddressRecord(AF_INET6, {0, 0, 0x20, 0x01});
    winsim::AddSession(session);
    ASSERT_TRUE(tagging.GetClientAddress(5, address, isLocal));
    EXPECT_EQ(address, L"v6:20:1");
}

}  // namespace
}  // namespace sessionctrl_test
