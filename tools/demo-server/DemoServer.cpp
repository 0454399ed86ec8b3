// The local stand-in for the download storage, the web site, the account service
// and the reachability probe sites, all on 127.0.0.1, for the demo and the
// end-to-end tests:
//   velmora_demo_server CONTENT-DIR [--log FILE]
// CONTENT-DIR is what make-demo-content.sh made (its "installer" folder is served
// below "/installer"). Each request is logged as one line: port, method, path with
// its query (the password masked) and the "Accept" header.

#include <httplib.h>

#include <atomic>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace
{
namespace fs = std::filesystem;

const char* const host = "127.0.0.1";
const int mainPort = 47800;
const int probePorts[] = { 47801, 47802, 47803 };

const std::string demoMail = "demo@tavoline-audio.test";
const std::string demoPassword = "velmora";

class RequestLog
{
public:
    void open (const std::string& path)
    {
        file.open (path, std::ios::out | std::ios::app);

        if (! file)
            std::cerr << "cannot open the log file " << path << "\n";
    }

    void add (int port, const httplib::Request& request, const httplib::Response& response)
    {
        // A connection closed before sending a request (a readiness check) is not one.
        if (request.method.empty())
            return;

        std::string line = std::to_string (port) + " " + request.method + " " + request.path;
        std::string query;

        for (const auto& [key, value] : request.params)
        {
            query += query.empty() ? "?" : "&";
            query += key + "=" + (key == "password" ? std::string ("***") : value);
        }

        line += query + " Accept: " + request.get_header_value ("Accept") + " -> " + std::to_string (response.status);

        std::lock_guard<std::mutex> guard (lock);

        if (file.is_open())
            file << line << std::endl;
    }

private:
    std::mutex lock;
    std::ofstream file;
};

RequestLog requestLog;

std::string readFile (const fs::path& path)
{
    std::ifstream in (path, std::ios::binary);
    return std::string (std::istreambuf_iterator<char> (in), std::istreambuf_iterator<char>());
}

std::string contentTypeOf (const fs::path& path)
{
    auto extension = path.extension().string();

    if (extension == ".xml")
        return "application/xml";

    if (extension == ".zip")
        return "application/zip";

    if (extension == ".jpg")
        return "image/jpeg";

    return "application/octet-stream";
}

std::string page (const std::string& title, const std::string& body)
{
    return "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>" + title
           + " - Tavoline Audio (demo)</title></head>\n<body style=\"background:#000;color:#fff;font-family:sans-serif\">"
           + "<h1>" + title + "</h1><p>" + body + "</p><p><a href=\"/\" style=\"color:#f55\">Home</a></p></body></html>\n";
}

// Files below CONTENT-DIR/installer; nothing outside it.
void serveStorage (httplib::Server& server, const fs::path& storageRoot)
{
    server.Get (R"(/installer/(.+))", [storageRoot] (const httplib::Request& request, httplib::Response& response)
                {
                    fs::path relative (request.matches[1].str());

                    for (const auto& part : relative)
                        if (part == ".." || part == "." || part.empty())
                        {
                            response.status = 404;
                            return;
                        }

                    auto path = storageRoot / relative;
                    std::error_code error;

                    if (! fs::is_regular_file (path, error))
                    {
                        response.status = 404;
                        response.set_content ("Not found", "text/plain");
                        return;
                    }

                    response.set_content (readFile (path), contentTypeOf (path).c_str()); });
}

void serveAccount (httplib::Server& server)
{
    server.Get ("/account/api/login", [] (const httplib::Request& request, httplib::Response& response)
                {
                    auto signedIn = request.get_param_value ("mail") == demoMail
                                    && request.get_param_value ("password") == demoPassword;

                    if (signedIn)
                        response.set_content (R"({"data":{"customerAccessTokenCreate":{"customerAccessToken":{"accessToken":"demo-token"},"customerUserErrors":[]}}})",
                                              "application/json");
                    else
                        response.set_content (R"({"data":{"customerAccessTokenCreate":{"customerAccessToken":null,"customerUserErrors":[{"code":"UNIDENTIFIED_CUSTOMER","message":"Unidentified customer"}]}}})",
                                              "application/json"); });
}

void serveSite (httplib::Server& server)
{
    struct Page
    {
        const char* path;
        const char* title;
        const char* body;
    };

    static const Page pages[] {
        { "/", "Tavoline Audio", "The demo shop's home page." },
        { "/account/login", "Sign in", "Sign in with the demo account: demo@tavoline-audio.test / velmora." },
        { "/account/register", "Create account", "The demo shop does not create accounts; use demo@tavoline-audio.test / velmora." },
        { "/pages/tavoline-audio-velmora", "Velmora", "Velmora 1.0.10 is the newest version." },
    };

    for (const auto& p : pages)
    {
        auto html = page (p.title, p.body);
        server.Get (p.path, [html] (const httplib::Request&, httplib::Response& response)
                    { response.set_content (html, "text/html; charset=utf-8"); });
    }

    server.Get (R"(/products/([A-Za-z0-9_-]+))", [] (const httplib::Request& request, httplib::Response& response)
                { response.set_content (page ("Product " + request.matches[1].str(), "The demo shop's product page."),
                                        "text/html; charset=utf-8"); });
}

bool startListening (httplib::Server& server, int port, std::vector<std::thread>& threads)
{
    server.set_logger ([port] (const httplib::Request& request, const httplib::Response& response)
                       { requestLog.add (port, request, response); });

    // Without the library's SO_REUSEPORT, so that a second server on a port fails
    // instead of sharing it.
    server.set_socket_options ([] (socket_t socket)
                               {
                                   int yes = 1;
                                   ::setsockopt (socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof (yes)); });

    if (! server.bind_to_port (host, port))
    {
        std::cerr << "velmora_demo_server: cannot listen on " << host << ":" << port << "\n";
        return false;
    }

    threads.emplace_back ([&server]
                          { server.listen_after_bind(); });
    return true;
}

std::atomic<bool> stopRequested { false };

void requestStop (int)
{
    stopRequested = true;
}

int usage()
{
    std::cerr << "usage: velmora_demo_server CONTENT-DIR [--log FILE]\n";
    return 2;
}
} // namespace

int main (int argc, char** argv)
{
    std::string contentDir;
    std::string logPath;

    for (int i = 1; i < argc; ++i)
    {
        std::string argument = argv[i];

        if (argument == "--log" && i + 1 < argc)
            logPath = argv[++i];
        else if (contentDir.empty() && argument.rfind ("--", 0) != 0)
            contentDir = argument;
        else
            return usage();
    }

    if (contentDir.empty())
        return usage();

    auto storageRoot = fs::path (contentDir) / "installer";

    if (! fs::is_directory (storageRoot))
    {
        std::cerr << "velmora_demo_server: " << storageRoot << " is not a folder; run make-demo-content.sh\n";
        return 1;
    }

    if (! logPath.empty())
        requestLog.open (logPath);

    httplib::Server site;
    serveStorage (site, storageRoot);
    serveAccount (site);
    serveSite (site);

    std::vector<std::unique_ptr<httplib::Server>> probes;
    std::vector<std::thread> threads;
    bool listening = startListening (site, mainPort, threads);

    for (auto port : probePorts)
    {
        auto& probe = *probes.emplace_back (std::make_unique<httplib::Server>());
        probe.Get ("/", [] (const httplib::Request&, httplib::Response& response)
                   { response.set_content ("OK", "text/plain"); });
        listening = listening && startListening (probe, port, threads);
    }

    if (listening)
    {
        std::signal (SIGINT, requestStop);
        std::signal (SIGTERM, requestStop);
        std::cout << "velmora_demo_server: http://" << host << ":" << mainPort << " (probes on 47801..47803)" << std::endl;

        while (! stopRequested)
            std::this_thread::sleep_for (std::chrono::milliseconds (100));
    }

    site.stop();

    for (auto& probe : probes)
        probe->stop();

    for (auto& thread : threads)
        thread.join();

    return listening ? 0 : 1;
}
