#include "server/command_line.hpp"

#include <atomic>
#include <csignal>
#include <ctime>
#include <limits>
#include <map>
#include <ostream>
#include <pthread.h>
#include <string>
#include <thread>
#include <vector>

#include <httplib.h>

#include "server/demo.hpp"
#include "server/gbk.hpp"
#include "server/site.hpp"
#include "server/store.hpp"

namespace quorvelv {
namespace {

constexpr const char* usage =
    "usage: quorvelv-site serve --db FILE [--host 127.0.0.1] [--port 8623] [--page-size 20]\n"
    "                           [--auto-approve] [--demo]\n"
    "       quorvelv-site pending --db FILE        list the resources waiting for review\n"
    "       quorvelv-site approve ID --db FILE     publish a resource\n"
    "       quorvelv-site reject ID --db FILE      refuse a resource (it stays in the database)\n"
    "       quorvelv-site notice [TEXT] --db FILE  set (or show) the bytes of /b1.txt; \"1\" makes clients\n"
    "                                              open the home page at start\n"
    "       quorvelv-site seed COUNT --db FILE     add COUNT generated, published resources (load tests)\n"
    "--port 0 takes any free port; the address served is printed on stderr.\n";

struct bad_usage {
    std::string message;
};

struct parsed_command {
    std::string command;
    std::vector<std::string> arguments;
    std::map<std::string, std::string> options;  // --name value, or "" for the flags
};

parsed_command parse(int argc, char** argv) {
    static const std::map<std::string, bool> known = {
        {"--db", true},        {"--host", true}, {"--port", true}, {"--page-size", true},
        {"--auto-approve", false}, {"--demo", false},
    };
    parsed_command parsed;
    for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        if (word.starts_with("--")) {
            const auto found = known.find(word);
            if (found == known.end()) throw bad_usage{"unknown option " + word};
            if (parsed.options.count(word)) throw bad_usage{word + " given twice"};
            if (!found->second) {
                parsed.options[word] = "";
            } else {
                if (i + 1 >= argc) throw bad_usage{word + " needs a value"};
                parsed.options[word] = argv[++i];
            }
        } else if (parsed.command.empty()) {
            parsed.command = word;
        } else {
            parsed.arguments.push_back(word);
        }
    }
    if (parsed.command.empty()) throw bad_usage{"no command given"};
    return parsed;
}

std::int64_t number(const std::string& text, const std::string& what, std::int64_t low, std::int64_t high) {
    std::size_t used = 0;
    long long value = 0;
    try {
        value = std::stoll(text, &used);
    } catch (const std::exception&) {
        used = 0;
    }
    if (used == 0 || used != text.size() || value < low || value > high) {
        throw bad_usage{what + " must be a number from " + std::to_string(low) + " to " + std::to_string(high) +
                        ", not \"" + text + "\""};
    }
    return value;
}

void allow_only(const parsed_command& parsed, std::initializer_list<const char*> options, std::size_t arguments) {
    for (const auto& [name, value] : parsed.options) {
        bool allowed = false;
        for (const char* option : options) allowed = allowed || name == option;
        if (!allowed) throw bad_usage{name + " does not apply to " + parsed.command};
    }
    if (parsed.arguments.size() != arguments) {
        throw bad_usage{parsed.command + " takes " + std::to_string(arguments) + " argument" +
                        (arguments == 1 ? "" : "s")};
    }
    if (!parsed.options.count("--db")) throw bad_usage{parsed.command + " needs --db FILE"};
}

// SIGINT and SIGTERM end the server: they are blocked in every thread and taken by one waiting thread, which
// stops the server the ordinary way, so requests in progress are finished and the database is closed cleanly.
int serve(const parsed_command& parsed, std::ostream& err) {
    allow_only(parsed, {"--db", "--host", "--port", "--page-size", "--auto-approve", "--demo"}, 0);
    const std::string db_path = parsed.options.at("--db");
    const std::string host = parsed.options.count("--host") ? parsed.options.at("--host") : "127.0.0.1";
    const int port = parsed.options.count("--port")
                         ? static_cast<int>(number(parsed.options.at("--port"), "--port", 0, 65535))
                         : 8623;
    site_options options;
    if (parsed.options.count("--page-size")) {
        options.page_size = number(parsed.options.at("--page-size"), "--page-size", 1, 1000);
    }
    options.auto_approve = parsed.options.count("--auto-approve") > 0;
    options.log = stderr;

    store_handle store = open_store(db_path);
    if (parsed.options.count("--demo")) {
        if (count_resources(*store, std::nullopt) == 0) {
            add_resources(*store, demo_resources(std::time(nullptr)), review_state::approved);
            err << "quorvelv-site: added demo resources to " << db_path << "\n";
        } else {
            err << "quorvelv-site: " << db_path << " already holds resources; no demo resources added\n";
        }
    }

    sigset_t stop_signals;
    sigemptyset(&stop_signals);
    sigaddset(&stop_signals, SIGINT);
    sigaddset(&stop_signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);

    httplib::Server server;
    configure_site(server, *store, options);
    int bound = port;
    if (port == 0) {
        bound = server.bind_to_any_port(host);
    } else if (!server.bind_to_port(host, port)) {
        bound = -1;
    }
    if (bound <= 0) {
        err << "quorvelv-site: cannot listen on " << host << ":" << port << "\n";
        return 1;
    }
    const bool ipv6 = host.find(':') != std::string::npos;
    err << "quorvelv-site: serving http://" << (ipv6 ? "[" + host + "]" : host) << ":" << bound << " from "
        << db_path << (options.auto_approve ? " (submissions published at once)" : "") << std::endl;

    std::atomic<bool> signalled{false};
    std::thread waiter([&] {
        int signal = 0;
        sigwait(&stop_signals, &signal);
        signalled = true;
        server.stop();
    });
    const bool listened = server.listen_after_bind();
    if (!signalled) pthread_kill(waiter.native_handle(), SIGTERM);  // wake the waiter when listening failed
    waiter.join();
    if (!listened && !signalled) {
        err << "quorvelv-site: the server stopped unexpectedly\n";
        return 1;
    }
    err << "quorvelv-site: stopped" << std::endl;
    return 0;
}

void print_resource(std::ostream& out, const resource& r) {
    out << r.id << "\t" << format_date(r.fields.created) << "\t" << utf8_for_display(r.fields.name) << "\t"
        << utf8_for_display(r.fields.size) << "MB\t" << utf8_for_display(r.fields.password) << "\t"
        << utf8_for_display(r.fields.link) << "\n";
}

int list_pending(const parsed_command& parsed, std::ostream& out) {
    allow_only(parsed, {"--db"}, 0);
    store_handle store = open_store(parsed.options.at("--db"));
    const std::vector<resource> pending = resources_in_state(*store, review_state::pending);
    for (const resource& r : pending) print_resource(out, r);
    if (pending.empty()) out << "no resources waiting for review\n";
    return 0;
}

int review(const parsed_command& parsed, review_state state, std::ostream& out, std::ostream& err) {
    allow_only(parsed, {"--db"}, 1);
    const std::int64_t id = number(parsed.arguments[0], "ID", 1, std::numeric_limits<std::int64_t>::max());
    store_handle store = open_store(parsed.options.at("--db"));
    std::optional<resource> found = find_resource(*store, id);
    if (!found) {
        err << "quorvelv-site: there is no resource " << id << "\n";
        return 1;
    }
    const char* done = state == review_state::approved ? "published" : "rejected";
    if (found->state == state) {
        out << "resource " << id << " was already " << done << "\n";
        return 0;
    }
    set_review_state(*store, id, state);
    out << "resource " << id << " " << done << ": ";
    print_resource(out, *find_resource(*store, id));
    return 0;
}

int notice(const parsed_command& parsed, std::ostream& out) {
    if (parsed.arguments.empty()) {
        allow_only(parsed, {"--db"}, 0);
        store_handle store = open_store(parsed.options.at("--db"));
        out << notice_text(*store) << "\n";
        return 0;
    }
    allow_only(parsed, {"--db"}, 1);
    store_handle store = open_store(parsed.options.at("--db"));
    // The bytes exactly as given: clients compare them byte for byte.
    set_notice_text(*store, parsed.arguments[0]);
    out << "notice set (" << parsed.arguments[0].size() << " bytes)\n";
    return 0;
}

int seed(const parsed_command& parsed, std::ostream& out) {
    allow_only(parsed, {"--db"}, 1);
    const std::int64_t count = number(parsed.arguments[0], "COUNT", 1, 10'000'000);
    store_handle store = open_store(parsed.options.at("--db"));
    add_resources(*store, generated_resources(count, std::time(nullptr)), review_state::approved);
    out << "added " << count << " resources\n";
    return 0;
}

}  // namespace

int run_site_command(int argc, char** argv, std::ostream& out, std::ostream& err) {
    try {
        if (argc == 2 && (std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h")) {
            out << usage;
            return 0;
        }
        const parsed_command parsed = parse(argc, argv);
        if (parsed.command == "serve") return serve(parsed, err);
        if (parsed.command == "pending") return list_pending(parsed, out);
        if (parsed.command == "approve") return review(parsed, review_state::approved, out, err);
        if (parsed.command == "reject") return review(parsed, review_state::rejected, out, err);
        if (parsed.command == "notice") return notice(parsed, out);
        if (parsed.command == "seed") return seed(parsed, out);
        throw bad_usage{"unknown command " + parsed.command};
    } catch (const bad_usage& e) {
        err << "quorvelv-site: " << e.message << "\n" << usage;
        return 2;
    } catch (const std::exception& e) {
        err << "quorvelv-site: " << e.what() << "\n";
        return 1;
    }
}

}  // namespace quorvelv
