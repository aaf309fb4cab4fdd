// `drg serve` with the sample release over HTTP on a free loopback port: every endpoint, every kind
// of bad input (the server answers and goes on), results equal to grouping
// the same lines one by one with the library, and a clean stop on signals.
#include <arpa/inet.h>
#include <errno.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <nlohmann/json.hpp>
#include <chrono>
#include <filesystem>
#include <random>
#include <regex>
#include <thread>

#include "drg/explain.h"
#include "drg/grouper.h"
#include "report/explanation_json.h"
#include "serve/serve_process.h"
#include "support/record_builder.h"
#include "support/test_files.h"
#include "tools/tool_test_support.h"

#include <sstream>

namespace drg::testing {
namespace {

using nlohmann::json;

class ServeApi : public ::testing::Test {
protected:
    // The bundled sample release, with the codes it knows.
    static void SetUpTestSuite() {
        release_ = new TempDir;
        diagnoses_ = new std::vector<std::string>(sampleCodes("diagnoses.tsv"));
        procedures_ = new std::vector<std::string>(sampleCodes("procedures.tsv"));
        const ProcessResult built = runProgram(DRG_TOOL_PATH, release_->path(),
                                               {"tables", "build", kSampleRelease, release_->path()});
        ASSERT_EQ(built.exitStatus, 0) << built.err;
    }
    static std::vector<std::string> sampleCodes(const std::string& file) {
        std::vector<std::string> codes;
        std::istringstream lines(readFile(std::string(kSampleRelease) + "/" + file));
        std::string line;
        while (std::getline(lines, line))
            if (!line.empty() && line[0] != '#' && line.rfind("code\t", 0) != 0) codes.push_back(line.substr(0, line.find('\t')));
        return codes;
    }
    static constexpr const char* kSampleRelease = DRG_SOURCE_DIR "/data/sample-release";
    static void TearDownTestSuite() {
        delete release_;
        delete diagnoses_;
        delete procedures_;
    }
    void SetUp() override {
        server_ = std::make_unique<ServeProcess>(release_->path(), std::vector<std::string>{"--threads", "3"});
        ASSERT_GT(server_->port(), 0) << "no address printed: " << server_->firstLine();
        client_ = std::make_unique<httplib::Client>("127.0.0.1", server_->port());
        client_->set_read_timeout(30, 0);
    }

    json postJson(const std::string& path, const std::string& body, int expectedStatus = 200) {
        const auto res = client_->Post(path.c_str(), body, "application/json");
        if (!res) {
            ADD_FAILURE() << "no answer to " << path;
            return json();
        }
        EXPECT_EQ(res->status, expectedStatus) << res->body.substr(0, 300);
        EXPECT_EQ(res->get_header_value("Content-Type"), "application/json; charset=utf-8");
        return json::parse(res->body);
    }

    static TempDir* release_;
    static std::vector<std::string>*diagnoses_, *procedures_;
    std::unique_ptr<ServeProcess> server_;
    std::unique_ptr<httplib::Client> client_;
};
TempDir* ServeApi::release_ = nullptr;
std::vector<std::string>* ServeApi::diagnoses_ = nullptr;
std::vector<std::string>* ServeApi::procedures_ = nullptr;

TEST_F(ServeApi, HealthPageAndReleaseAsTablesCheckReportsIt) {
    const auto health = client_->Get("/healthz");
    ASSERT_TRUE(health);
    EXPECT_EQ(health->status, 200);

    const struct { const char* path; const char* type; const char* holds; } assets[] = {
        {"/", "text/html; charset=utf-8", "<title>DRG grouper</title>"},
        {"/page.css", "text/css; charset=utf-8", ".result-grid"},
        {"/page.js", "text/javascript; charset=utf-8", "\"api/group\""},
    };
    for (const auto& a : assets) {
        const auto res = client_->Get(a.path);
        ASSERT_TRUE(res) << a.path;
        EXPECT_EQ(res->status, 200) << a.path;
        EXPECT_EQ(res->get_header_value("Content-Type"), a.type);
        EXPECT_NE(res->body.find(a.holds), std::string::npos) << a.path;
        EXPECT_EQ(res->body.find("://"), std::string::npos) << a.path << " refers to another host";
        EXPECT_EQ(res->get_header_value("Content-Security-Policy"), "default-src 'self'");
    }

    const auto res = client_->Get("/api/release");
    ASSERT_TRUE(res);
    const json release = json::parse(res->body);
    EXPECT_TRUE(release["groupsRecords"]);
    const ProcessResult check = runProgram(DRG_TOOL_PATH, release_->path(), {"tables", "check", release_->path()});
    ASSERT_EQ(check.exitStatus, 0) << check.err;
    ASSERT_EQ(release["files"].size(), 22u);
    for (const json& file : release["files"]) {
        std::string expected = file["file"].get<std::string>();
        expected += std::string(11 - expected.size(), ' ');
        std::smatch line;
        ASSERT_TRUE(std::regex_search(check.out, line, std::regex("\n" + expected + "([^\n]*)\n")))
            << file["file"];
        for (const auto& [name, count] : file["counts"].items())
            EXPECT_NE(line[1].str().find("  " + name + " " + std::to_string(count.get<int64_t>())), std::string::npos)
                << file["file"] << " " << name;
        if (!file["inForce"].is_null())
            EXPECT_NE(line[1].str().find("(in force " + file["inForce"].get<std::string>() + ")"), std::string::npos);
        else
            EXPECT_EQ(line[1].str().find("in force"), std::string::npos);
    }
}

TEST_F(ServeApi, BadInputGetsItsStatusAndServingGoesOn) {
    std::string atLimit = R"({"records":[""]})";
    atLimit.insert(atLimit.size() - 3, std::string((1 << 20) - atLimit.size(), 'x'));
    const json tooManyDiagnoses = {{"effectiveDate", "20130101"}, {"birthDate", "19500101"}, {"sex", "M"},
                                   {"diagnoses", std::vector<std::string>(11, "I21.0")}};
    const json tooManyProcedures = {{"effectiveDate", "20130101"}, {"birthDate", "19500101"}, {"sex", "M"},
                                    {"procedures", std::vector<std::string>(37, "5-361")}};
    const struct { const char* method; std::string path, body; int status; std::string field; } cases[] = {
        {"POST", "/api/group", "{\"record\":", 400, "body"},
        {"POST", "/api/group", R"({"record":["a"]})", 400, "record"},
        {"POST", "/api/group", R"({"effectiveDate":"20130101","birthDate":"19500101","sex":"M","weight":3})", 400, "weight"},
        {"POST", "/api/group", R"({"effectiveDate":"20130101","birthDate":"19500101","sex":"M","diagnoses":["I21.0000"]})", 400, "diagnoses[0]"},
        {"POST", "/api/group", tooManyDiagnoses.dump(), 400, "diagnoses"},
        {"POST", "/api/group", tooManyProcedures.dump(), 400, "procedures"},
        {"POST", "/api/group", R"({"effectiveDate":"20130431","birthDate":"19500101","sex":"M"})", 400, "effectiveDate"},
        {"POST", "/api/record", R"({"effectiveDate":"20130101","birthDate":"19500101","sex":"W"})", 400, "sex"},
        {"POST", "/api/record", R"({"stayDays":1e400})", 400, "body"},
        {"POST", "/api/record", R"({"effectiveDate":"x","birthDate":"19500101","sex":"W"})", 400, "effectiveDate"},
        {"POST", "/api/group", atLimit, 200, ""},
        {"POST", "/api/group", atLimit + " ", 413, ""},
        {"POST", "/api/group", std::string("{\"record\":\"x\"}\0 garbage", 23), 400, "body"},
        {"GET", "/api/nothing", "", 404, ""},
        {"GET", "/pagexcss", "", 404, ""},  // a path is not a pattern
        {"GET", "/page-js", "", 404, ""},
        {"GET", "/favicon.ico", "", 204, ""},  // no icon, and no 404 in a browser's console
        {"GET", "/api/group", "", 405, ""},
        {"DELETE", "/healthz", "", 405, ""},
        {"PUT", "/api/release", "{}", 405, ""},
    };
    for (const auto& c : cases) {
        const std::string method = c.method;
        const httplib::Result res = method == "GET"      ? client_->Get(c.path.c_str())
                                    : method == "DELETE" ? client_->Delete(c.path.c_str())
                                    : method == "PUT"    ? client_->Put(c.path.c_str(), c.body, "application/json")
                                                         : client_->Post(c.path.c_str(), c.body, "application/json");
        ASSERT_TRUE(res) << c.method << " " << c.path;
        EXPECT_EQ(res->status, c.status) << c.method << " " << c.path << " " << res->body.substr(0, 200);
        json body = json::parse(res->body, nullptr, false);  // a page answered in error is no JSON
        if (c.status >= 400) {
            const bool isError = body.is_object() && body["error"].is_string();
            EXPECT_TRUE(isError) << c.method << " " << c.path << " " << res->body.substr(0, 200);
            if (!isError) continue;
            EXPECT_FALSE(body["error"].get<std::string>().empty());
            if (!c.field.empty()) {
                EXPECT_EQ(body["field"], c.field) << res->body;
                EXPECT_NE(body["error"].get<std::string>().find(c.field), std::string::npos) << res->body;
            }
        }
        if (c.status == 405) {
            EXPECT_FALSE(res->get_header_value("Allow").empty());
        }
        const auto health = client_->Get("/healthz");
        ASSERT_TRUE(health) << "no answer after " << c.method << " " << c.path;
        EXPECT_EQ(health->status, 200);
    }

    // However the body comes: chunked, form-encoded (as `curl -d` sends it)
    // beyond the library's 8 KiB for forms, or as a multipart form.
    const auto chunked = [&](const std::string& body) {
        return client_->Post("/api/group", [&body](size_t offset, httplib::DataSink& sink) {
            if (offset < body.size()) return sink.write(body.data() + offset, std::min<size_t>(body.size() - offset, 65536));
            sink.done();
            return true;
        }, "application/json");
    };
    const std::string overLimit = atLimit + std::string(3 << 20, ' ');
    const std::string longForm = R"({"records":[")" + std::string(20000, 'x') + R"("]})";
    const std::pair<httplib::Result, int> bodies[] = {
        {chunked(atLimit), 200},
        {chunked(overLimit), 413},
        {client_->Post("/api/group", longForm, "application/x-www-form-urlencoded"), 200},
        {client_->Post("/api/group", httplib::MultipartFormDataItems{{"record", "x", "", ""}}), 415},
        {client_->Post("/api/group", "--b\r\n\r\nx\r\n--b--\r\n", "Multipart/Form-Data; boundary=b"), 415},
    };
    for (const auto& [res, status] : bodies) {
        ASSERT_TRUE(res) << status;
        EXPECT_EQ(res->status, status) << res->body.substr(0, 200);
        if (status != 200) {
            EXPECT_TRUE(json::parse(res->body)["error"].is_string()) << res->body;
        }
    }

    // Bytes that are no HTTP at all, on a connection of their own.
    const int sock = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(server_->port()));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(connect(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    const std::string garbage = "\x01\x02 NOT HTTP \xff\r\n\r\n";
    ASSERT_EQ(write(sock, garbage.data(), garbage.size()), static_cast<ssize_t>(garbage.size()));
    char reply[200] = {};
    EXPECT_GT(read(sock, reply, sizeof reply - 1), 0);
    EXPECT_EQ(std::string(reply).rfind("HTTP/1.1 400", 0), 0u) << reply;
    close(sock);

    // A wrong method with no body at all is answered at once, not after waiting for a body.
    const int bodiless = socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_EQ(connect(bodiless, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    const std::string post = "POST /healthz HTTP/1.1\r\nHost: x\r\n\r\n";
    ASSERT_EQ(write(bodiless, post.data(), post.size()), static_cast<ssize_t>(post.size()));
    const auto sent = std::chrono::steady_clock::now();
    char answer[400] = {};
    EXPECT_GT(read(bodiless, answer, sizeof answer - 1), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - sent, std::chrono::seconds(2));
    EXPECT_EQ(std::string(answer).rfind("HTTP/1.1 405", 0), 0u) << answer;
    close(bodiless);
    const auto health = client_->Get("/healthz");
    ASSERT_TRUE(health);
    EXPECT_EQ(health->status, 200);
}

// Requests as a client writes them byte by byte, each on a connection of its own
// that the last request closes; the last answer is checked.
TEST_F(ServeApi, RawRequestsGetPromptWholeAnswersAndAHeadOfBoundedSize) {
    const std::string body = R"({"record":"x"})";
    const std::string post = "POST /api/group HTTP/1.1\r\nHost: x\r\nConnection: close\r\n";
    const std::string withBody = "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
    std::string flood = "GET /healthz HTTP/1.1\r\nHost: x\r\n";
    for (int i = 0; flood.size() < (size_t{1} << 20); ++i) flood += "X-" + std::to_string(i) + ": v\r\n";
    const struct { const char* what; std::string request; const char* status; const char* field = nullptr; } cases[] = {
        // No length and no chunks: the body is empty, not whatever comes until the client closes.
        {"a POST without a body", post + "\r\n", "400", "body"},
        // A range is for GET; an API answer is never cut to one.
        {"a POST with a range", post + "Range: bytes=0-10\r\n" + withBody, "200"},
        // Sent back to back in one write, the second request is answered too.
        {"two requests in one write", "GET /healthz HTTP/1.1\r\nHost: x\r\n\r\n" + post + withBody, "200"},
        // A body whose end cannot be told is answered at once, and the connection closed.
        {"a transfer coding other than chunked", post + "Transfer-Encoding: gzip\r\n\r\n" + body, "501"},
        {"two lengths that differ", post + "Content-Length: 14\r\nContent-Length: 3\r\n\r\n" + body, "400"},
        // A head or a line is not kept however large it grows: refused, or the connection ends.
        {"1 MiB of header fields", flood + "\r\n", "431"},
        {"a chunk size line of 1 MiB", "POST /api/group HTTP/1.1\r\nHost: x\r\nTransfer-Encoding: chunked\r\n\r\n" +
                                           std::string(1 << 20, '1'), "400"},
    };
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(server_->port()));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    for (const auto& c : cases) {
        const int sock = socket(AF_INET, SOCK_STREAM, 0);
        ASSERT_EQ(connect(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        const timeval timeout{3, 0};
        setsockopt(sock, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
        for (size_t sent = 0; sent < c.request.size();) {
            const ssize_t n = send(sock, c.request.data() + sent, c.request.size() - sent, MSG_NOSIGNAL);
            if (n <= 0) break;  // the server stops reading a head that is too large
            sent += static_cast<size_t>(n);
        }
        std::string reply;
        char buffer[4096];
        ssize_t n;
        while ((n = read(sock, buffer, sizeof buffer)) > 0) reply.append(buffer, static_cast<size_t>(n));
        const bool timedOut = n < 0 && errno == EAGAIN;
        close(sock);
        const std::string last = reply.substr(std::min(reply.rfind("HTTP/1.1 "), reply.size()));
        // The answer to a request cut short may be lost to the reset of a connection still being written to.
        if (c.request.size() > (1 << 20) && last.empty() && !timedOut) continue;
        const size_t headEnd = last.find("\r\n\r\n");
        if (last.rfind(std::string("HTTP/1.1 ") + c.status, 0) != 0 || headEnd == std::string::npos) {
            ADD_FAILURE() << c.what << " is not answered " << c.status << " at once: " << reply.substr(0, 200);
            continue;
        }
        const json answer = json::parse(last.substr(headEnd + 4), nullptr, false);
        EXPECT_TRUE(answer.is_object() && answer.contains(c.status[0] == '2' ? "drg" : "error"))
            << c.what << ": " << last.substr(headEnd);
        if (c.field) {
            EXPECT_EQ(answer["field"], c.field) << last;
        }
    }
    const auto health = client_->Get("/healthz");
    ASSERT_TRUE(health);
    EXPECT_EQ(health->status, 200);
}

// What the library makes of one line: its explanation object and output line.
json expectedResult(Worker& worker, const std::string& line, long lineNumber) {
    Explanation explanation;
    worker.explainLine(line, explanation);
    std::string out;
    GroupResult result;
    worker.groupLine(line, out, &result);
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
    EXPECT_EQ(explanation.output, out);
    json expected = report::explanationJson(explanation, lineNumber);
    expected["record"] = report::textJson(out);
    EXPECT_EQ(expected["drg"], result.drg);
    EXPECT_EQ(expected["pccl"], result.pccl);
    return expected;
}

TEST_F(ServeApi, ResultsEqualTheLibraryGroupingEachLineAlone) {
    std::vector<std::string> lines = generatedRecords(*diagnoses_, *procedures_, 300, 13);
    lines.insert(lines.end(), {"", "short line", std::string(400, 'q'), "  i21.0 lower case" + std::string(300, ' ')});
    std::istringstream sample(readFile(DRG_SOURCE_DIR "/data/sample/valtic.in"));
    for (std::string line; std::getline(sample, line);) lines.push_back(line);
    OpenedRelease opened = openRelease(release_->path());
    ASSERT_TRUE(opened.release) << opened.reason;
    Worker worker(opened.release);

    const json all = postJson("/api/group", json{{"records", lines}}.dump());
    ASSERT_EQ(all["results"].size(), lines.size());
    size_t grouped = 0;
    for (size_t i = 0; i < lines.size(); ++i) {
        const json expected = expectedResult(worker, lines[i], static_cast<long>(i) + 1);
        EXPECT_EQ(all["results"][i], expected) << "line " << i + 1;
        grouped += expected["drg"] != "000000";
        if (i % 10 == 0) {
            EXPECT_EQ(postJson("/api/group", json{{"record", lines[i]}}.dump()), expectedResult(worker, lines[i], 1));
        }
    }
    EXPECT_GT(grouped, lines.size() / 4) << "too few records reach a DRG to compare much";
}

TEST_F(ServeApi, StayFieldsGroupAsTheLineTheyDescribe) {
    std::mt19937 random(5);
    const auto pick = [&](size_t n) { return static_cast<size_t>(random() % n); };
    const struct { int year; char male, female; } centuries[] = {{1888, '9', '0'}, {1950, '1', '2'}, {2012, '3', '4'}};
    OpenedRelease opened = openRelease(release_->path());
    ASSERT_TRUE(opened.release);
    Worker worker(opened.release);
    for (int n = 0; n < 60; ++n) {
        const auto& century = centuries[pick(3)];
        const bool male = pick(2) == 0;
        const std::string birth = std::to_string(century.year) + "0" + std::to_string(1 + pick(9)) + "1" + std::to_string(pick(10));
        const std::string date = std::to_string(2004 + pick(10)) + "0" + std::to_string(1 + pick(9)) + "2" + std::to_string(pick(9));
        std::vector<std::string> dx, sg;
        for (size_t k = 0, count = 1 + pick(5); k < count; ++k) dx.push_back((*diagnoses_)[pick(diagnoses_->size())]);
        for (size_t k = 0, count = pick(3); k < count; ++k) sg.push_back((*procedures_)[pick(procedures_->size())]);
        const int stayDays = static_cast<int>(pick(40)), weight = static_cast<int>(pick(2) * pick(4000)),
                  hours = static_cast<int>(pick(200));
        const json stay = {{"effectiveDate", date}, {"birthDate", birth}, {"sex", male ? "M" : "F"},
                           {"stayDays", stayDays}, {"status", 1}, {"birthWeight", weight},
                           {"ventilationHours", hours}, {"diagnoses", dx}, {"procedures", sg}};
        char digits[16];
        std::snprintf(digits, sizeof digits, "%03d", stayDays);
        RecordBuilder line;
        line.birthDate(birth.substr(2)).sex(male ? century.male : century.female).date(date).stayDays(digits).status("1");
        std::snprintf(digits, sizeof digits, "%05d", weight);
        line.birthWeight(digits);
        std::snprintf(digits, sizeof digits, "%05d", hours);
        line.ventilation(digits).diagnoses(dx).procedures(sg);

        EXPECT_EQ(postJson("/api/record", stay.dump())["record"], line.text()) << stay.dump();
        EXPECT_EQ(postJson("/api/group", stay.dump()), expectedResult(worker, line.text(), 1)) << stay.dump();
    }
}

TEST_F(ServeApi, StopsCleanlyOnSigintAndSigtermWithAConnectionOpen) {
    // The same signal twice comes from a sender that signals the program and
    // its process group (timeout does); with nothing under way it is one stop.
    // SIGHUP, as when the terminal it was started from closes, stops it alike.
    const std::vector<int> stops[] = {{SIGINT}, {SIGTERM}, {SIGHUP}, {SIGTERM, SIGINT}};
    for (const std::vector<int>& signals : stops) {
        ServeProcess server(release_->path());
        ASSERT_GT(server.port(), 0);
        httplib::Client idle("127.0.0.1", server.port());
        idle.set_keep_alive(true);
        ASSERT_TRUE(idle.Get("/healthz"));
        // The answer is read before its thread is done with the request: the
        // signals are for a server with nothing under way.
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        int status = -1;
        for (size_t i = 0; i < signals.size() && status == -1; ++i)
            status = server.stop(signals[i], i + 1 < signals.size() ? 0 : 10);
        EXPECT_EQ(status, 0) << strsignal(signals.front()) << " x" << signals.size();
        EXPECT_EQ(server.laterOutput(), "stopped\n");
    }
}

// A client that keeps its connection open holds no thread that another
// connection waits for: a health check gets its answer at once, not after
// the idle connection's keep-alive time.
TEST_F(ServeApi, AnIdleConnectionGivesItsThreadToOneThatWaits) {
    ServeProcess server(release_->path(), {"--threads", "1"});
    ASSERT_GT(server.port(), 0);
    httplib::Client idle("127.0.0.1", server.port());
    idle.set_keep_alive(true);
    ASSERT_TRUE(idle.Get("/healthz"));
    httplib::Client check("127.0.0.1", server.port());
    const auto start = std::chrono::steady_clock::now();
    const auto answer = check.Get("/healthz");
    const auto waited = std::chrono::steady_clock::now() - start;
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->status, 200);
    EXPECT_LT(waited, std::chrono::milliseconds(1000));  // the keep-alive time is 2 s
    // The idle client still gets its answers, on a connection of its own.
    EXPECT_EQ(idle.Get("/healthz")->status, 200);
}

// A request that arrived before the stop, while every thread was busy, is
// answered too, not dropped with its connection.
TEST_F(ServeApi, ARequestWaitingForAThreadIsAnsweredAtTheStop) {
    ServeProcess server(release_->path(), {"--threads", "1"});
    ASSERT_GT(server.port(), 0);
    EXPECT_NE(server.firstLine().find(" with 1 thread ("), std::string::npos) << server.firstLine();
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(server.port()));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const auto send = [&](int sock, const std::string& bytes) {
        if (sock < 0) {
            sock = socket(AF_INET, SOCK_STREAM, 0);
            EXPECT_EQ(connect(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        }
        EXPECT_EQ(write(sock, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        return sock;
    };
    const auto reply = [](int sock) {
        std::string all;
        char buffer[4096];
        for (ssize_t n; (n = read(sock, buffer, sizeof buffer)) > 0;) all.append(buffer, static_cast<size_t>(n));
        close(sock);
        return all;
    };
    // The one thread is held by a body still arriving.
    const int busy = send(-1, "POST /api/group HTTP/1.1\r\nHost: x\r\nConnection: close\r\nContent-Length: 14\r\n\r\n{");
    const int waiting = send(-1, "GET /healthz HTTP/1.1\r\nHost: x\r\n\r\n");
    EXPECT_EQ(server.stop(SIGTERM, 0), -1);
    // Once it takes no connection, the stop is under way (a busy machine may take a while to get there).
    for (int tries = 0; tries < 100; ++tries) {
        const int probe = socket(AF_INET, SOCK_STREAM, 0);
        const bool refused = connect(probe, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0;
        close(probe);
        if (refused) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    send(busy, R"("record":"x"})");
    EXPECT_EQ(reply(busy).rfind("HTTP/1.1 200", 0), 0u);
    const std::string waited = reply(waiting);
    EXPECT_EQ(waited.rfind("HTTP/1.1 200", 0), 0u) << waited;
    EXPECT_NE(waited.find("Connection: close"), std::string::npos) << waited;
    EXPECT_EQ(server.stop(SIGTERM), 0) << "a second signal with the last request answered";
    EXPECT_EQ(server.laterOutput(), "stopped\n");
}

TEST_F(ServeApi, ASecondSignalStopsAtOnceWhileARequestIsStillArriving) {
    ServeProcess server(release_->path());
    ASSERT_GT(server.port(), 0);
    const int sock = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(server.port()));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(connect(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    const std::string partial = "POST /api/group HTTP/1.1\r\nHost: x\r\nContent-Length: 100\r\n\r\n{";
    ASSERT_EQ(write(sock, partial.data(), partial.size()), static_cast<ssize_t>(partial.size()));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(server.stop(SIGTERM, 1), -1) << "did not wait for the request under way";
    EXPECT_EQ(server.stop(SIGINT, 3), 1);
    close(sock);
}

TEST_F(ServeApi, RefusesToStartWithAClearLine) {
    TempDir empty;
    int firstFreePort = 1024;  // where the kernel lets anybody listen
    std::istringstream(readFile("/proc/sys/net/ipv4/ip_unprivileged_port_start")) >> firstFreePort;
    const struct { std::vector<std::string> args; int status; std::string says; } cases[] = {
        {{"serve"}, 2, "--tables"},
        {{"serve", "--tables", release_->path(), "--port", "70000"}, 2, "--port"},
        // Decimal only: the usual reading takes "0x50" as port 80.
        {{"serve", "--tables", release_->path(), "--port", "0x50"}, 2, "--port: '0x50' is not a whole number"},
        {{"serve", "--tables", release_->path(), "--threads", "0"}, 2, "--threads"},
        {{"serve", "--tables", empty.path(), "--port", "0"}, 1, "tables do not load"},
        {{"serve", "--tables", release_->path(), "--port", std::to_string(server_->port())}, 1,
         "port " + std::to_string(server_->port()) + " (another program listens on it)"},
        {{"serve", "--tables", release_->path(), "--host", "", "--port", "0"}, 2, "--host: name an address"},
        // An unset shell variable must not serve the tables of the working folder.
        {{"serve", "--tables", "", "--port", "0"}, 2, "--tables: an empty folder name"},
        {{"serve", "--tables", release_->path(), "--port", "-1"}, 2, "--port: '-1' is not a whole number from 0 to 65535"},
        // 192.0.2.1 is kept for documentation: no machine has it.
        {{"serve", "--tables", release_->path(), "--host", "192.0.2.1", "--port", "0"}, 1,
         "cannot listen on 192.0.2.1 port 0 (not an address of this machine)"},
        {{"serve", "--tables", release_->path(), "--port", "1"}, 1,
         "port 1 (a port below " + std::to_string(firstFreePort) + " needs privileges)"},
    };
    // The port that needs privileges is asked for without them: as nobody when run as root,
    // who must be able to read the tables.
    std::filesystem::permissions(release_->path(), std::filesystem::perms::others_read | std::filesystem::perms::others_exec,
                                 std::filesystem::perm_options::add);
    for (const auto& c : cases) {
        if (c.args.back() == "1" && firstFreePort <= 1) continue;
        std::vector<std::string> args = {"10"};  // a server that does start is ended
        if (c.args.back() == "1" && geteuid() == 0)
            args.insert(args.end(), {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"});
        args.push_back(DRG_TOOL_PATH);
        args.insert(args.end(), c.args.begin(), c.args.end());
        const ProcessResult run = runProgram("/usr/bin/timeout", empty.path(), args);
        EXPECT_EQ(run.exitStatus, c.status) << c.args.back() << ": " << run.err;
        EXPECT_NE(run.err.find(c.says), std::string::npos) << run.err;
    }
}

}  // namespace
}  // namespace drg::testing
