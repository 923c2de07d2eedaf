#pragma once
// The publishing form: the six fields the site's form handler expects, always in the same order.

#include <string>
#include <string_view>

namespace quorvelv {

// "wzbt=<name>&wznr=<size>&wzlb=2&mwlb=<address>&mwmm=<password>&djtj=sad" with every value's GBK bytes
// percent-encoded as application/x-www-form-urlencoded, so "&", "=", "+", "%" and spaces in what the user
// typed reach the site as typed instead of cutting or changing the fields.
std::string publish_body(std::string_view name, std::string_view size, std::string_view address,
                         std::string_view password);

// One value encoded for a form body: letters, digits and "*-._" stay, a space becomes "+", every other byte
// becomes "%XX" (upper-case hex).
std::string form_encode(std::string_view bytes);

}  // namespace quorvelv
