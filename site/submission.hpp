#pragma once
// Publishing a new resource from the add-resource window: the Add button's handler and the background routine
// it starts.

namespace quorvelv {

// The Add button's click handler (按钮1 of the add-resource window): disables the button and starts
// submit_resource on a background thread.
void request_submission();

// The submission itself, on its own background thread: checks the four fields, posts the form to the site,
// enables Add again, tells the user, refreshes the listing and closes the window. A failed post is not noticed.
void submit_resource();

}  // namespace quorvelv
