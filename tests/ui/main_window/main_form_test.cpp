// The main window's loading, the profile list and NewCreation.
#include <gtest/gtest.h>

#include "host/platform.h"
#include "support/form_fixture.h"

namespace norvane {
namespace {

using testing::form_fixture;

const std::string office =
    "Office,ローカル エリア接続,192.168.0.10,255.255.255.0,192.168.0.1,192.168.0.1,,,0";
const std::string home = "Home,ローカル エリア接続,,,,,,,1";
const std::string lab = "Lab,Wired connection 1,10.0.0.5,255.0.0.0,10.0.0.1,10.0.0.2,10.0.0.3,,0";

TEST_F(form_fixture, loads_without_profiles_with_every_field_empty_and_enabled) {
    load({});
    EXPECT_EQ(view.caption, "Norvane for Windows2000");
    EXPECT_EQ(view.topmost, std::vector<bool>{true});
    EXPECT_TRUE(view.items.empty());
    EXPECT_EQ(view.text({control::connect_txt}), "");
    EXPECT_TRUE(view.enabled({control::connect_txt}));
    EXPECT_EQ(view.check_value(), unchecked);
    EXPECT_TRUE(all_boxes_enabled(true));
}

TEST_F(form_fixture, loads_the_names_in_file_order_and_shows_the_first_profile) {
    load({office, home, lab});
    EXPECT_EQ(view.items, (std::vector<std::string>{"Office", "Home", "Lab"}));
    EXPECT_EQ(view.text({control::profile_list}), "Office");
    EXPECT_EQ(view.text({control::connect_txt}), "ローカル エリア接続");
    EXPECT_FALSE(view.enabled({control::connect_txt}));
    EXPECT_EQ(address(control::ip_add_txt), "192|168|0|10");
    EXPECT_EQ(address(control::net_mask_txt), "255|255|255|0");
    EXPECT_EQ(address(control::dns1_txt), "192|168|0|1");
    EXPECT_EQ(address(control::dns2_txt), "|||");
    EXPECT_EQ(address(control::dns3_txt), "|||");
}

TEST_F(form_fixture, choosing_profiles_switches_between_static_and_dhcp) {
    load({office, home, lab});
    view.choose(1);  // DHCP after static: boxes emptied, then disabled
    EXPECT_EQ(view.check_value(), checked);
    EXPECT_TRUE(all_boxes_enabled(false));
    EXPECT_EQ(address(control::ip_add_txt), "|||");

    view.choose(2);  // static after DHCP: enabled again before they are filled
    EXPECT_EQ(view.check_value(), unchecked);
    EXPECT_TRUE(all_boxes_enabled(true));
    EXPECT_EQ(view.text({control::connect_txt}), "Wired connection 1");
    EXPECT_EQ(address(control::dns2_txt), "10|0|0|3");
    EXPECT_EQ(address(control::dns3_txt), "|||");

    view.set_text({control::profile_list}, "Gone");  // no longer in the table: nothing changes
    form.profile_list_click();
    EXPECT_EQ(view.text({control::connect_txt}), "Wired connection 1");
}

TEST_F(form_fixture, hand_edited_lines_are_shown_without_harm) {
    load({"",                                  // blank line: no list entry
          "Short,接続,192.168.1,255.255.0.0",  // too few fields, three-piece address
          "Long,接続,1.2.3.4.5,255.0.0.0,1.1.1.1,,,,0,extra", "Short,dup"});
    EXPECT_EQ(view.items, (std::vector<std::string>{"Short", "Long", "Short"}));
    EXPECT_EQ(view.text({control::profile_list}), "Short");
    EXPECT_EQ(address(control::ip_add_txt), "192|168|1|");
    EXPECT_EQ(address(control::gateway_txt), "|||");
    EXPECT_EQ(view.check_value(), unchecked);  // a missing flag is not DHCP
    view.choose(1);
    EXPECT_EQ(address(control::ip_add_txt), "1|2|3|4");
    view.choose(2);  // the second "Short" shows the first one in the file
    EXPECT_EQ(view.text({control::connect_txt}), "接続");
    fill(control::ip_add_txt, "9", "9", "9", "9");  // a short address keeps the other boxes
    form.show_profile({"P", "C", "10.1.2", "", "", "", "", "", "0"});
    EXPECT_EQ(address(control::ip_add_txt), "10|1|2|9");
}

TEST_F(form_fixture, new_creation_after_a_dhcp_profile_starts_a_fresh_static_profile) {
    load({home, office});
    form.new_bt_click();
    EXPECT_EQ(view.text({control::profile_list}), "");
    EXPECT_EQ(view.items.size(), 2u);
    EXPECT_EQ(view.check_value(), unchecked);
    EXPECT_TRUE(all_boxes_enabled(true));
    EXPECT_EQ(view.text({control::connect_txt}), "ローカル エリア接続");
    EXPECT_TRUE(view.enabled({control::connect_txt}));
}

}  // namespace
}  // namespace norvane
