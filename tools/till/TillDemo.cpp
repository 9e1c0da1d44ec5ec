#include "TillDemo.h"

#include <fstream>
#include <stdexcept>
#include <system_error>

namespace quorral {
namespace {

namespace fs = std::filesystem;

struct CDemoFile
{
    const char* Path;
    const char* Text;
};

constexpr CDemoFile DemoFiles[] = {
    {"Readme.txt", "This folder is served by quorral-till, a till simulator.\r\n"
                   "Copy files to and from it with Quorral; nothing here is a real till's data.\r\n"},
    {"Data/Items.csv", "Code;Description;Department;Price\r\n"
                       "1001;Espresso;Coffee;2.20\r\n"
                       "1002;Cappuccino;Coffee;2.90\r\n"
                       "1003;Flat white;Coffee;3.10\r\n"
                       "2001;Croissant;Bakery;1.80\r\n"
                       "2002;Pain au chocolat;Bakery;2.10\r\n"
                       "3001;Orange juice;Cold drinks;2.60\r\n"},
    {"Data/Departments.csv", "Code;Name;Tax rate\r\n"
                             "1;Coffee;7\r\n"
                             "2;Bakery;7\r\n"
                             "3;Cold drinks;19\r\n"},
    {"Data/Operators.txt", "1 Anna (supervisor)\r\n2 Ben\r\n3 Chris\r\n"},
    {"Prices/Prices-Summer.csv", "Code;Price\r\n1001;2.30\r\n1002;3.00\r\n3001;2.80\r\n"},
    {"Prices/Prices-Winter.csv", "Code;Price\r\n1001;2.20\r\n1002;2.90\r\n3001;2.60\r\n"},
    {"Reports/Z-Report-0001.txt", "Z report 0001\r\n"
                                  "Sales        42   118.40\r\n"
                                  "Refunds       1     2.20\r\n"
                                  "Cash             116.20\r\n"},
    {"Reports/Archive/Z-Report-0000.txt", "Z report 0000\r\nSales        37   101.90\r\n"},
};

} // namespace

bool FillDemoFolder(const fs::path& folder)
{
    fs::create_directories(folder);
    if (!fs::is_empty(folder)) {
        return false;
    }
    for (const CDemoFile& file : DemoFiles) {
        const fs::path path = folder / fs::path(file.Path).make_preferred();
        fs::create_directories(path.parent_path());
        std::ofstream out(path, std::ios::binary);
        out << file.Text;
        if (!out.flush()) {
            throw fs::filesystem_error("cannot write the demo file", path,
                                       std::make_error_code(std::errc::io_error));
        }
    }
    return true;
}

} // namespace quorral
