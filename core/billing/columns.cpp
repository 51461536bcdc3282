#include "core/billing/columns.h"

namespace tlx::billing {

std::string SchemaOf(std::span<const StoreTable> tables) {
    std::string sql = "PRAGMA journal_mode = WAL;\n";
    for (const StoreTable& table : tables) {
        sql += "\nCREATE TABLE " + std::string(table.name) + " (\n";
        for (const Column& column : table.columns) {
            sql += "    " + std::string(column.name) + " " + std::string(column.type) + ",\n";
        }
        sql.erase(sql.size() - 2, 1);  // no comma after the last column
        sql += ");\n";
    }
    for (const StoreTable& table : tables) {
        if (table.index.empty()) continue;
        sql += "\nCREATE INDEX " + std::string(table.index) + " ON " + std::string(table.name) +
               "(" + std::string(table[table.indexed]) + ");\n";
    }
    return sql;
}

std::string ColumnList(const StoreTable& table) {
    std::string list;
    for (const Column& column : table.columns) list += std::string(column.name) + ",";
    list.pop_back();
    return list;
}

std::vector<std::string> ColumnNames(const StoreTable& table) {
    std::vector<std::string> names;
    for (const Column& column : table.columns) names.emplace_back(column.name);
    return names;
}

std::string InsertStatement(const StoreTable& table) {
    std::string columns, values;
    for (const Column& column : table.columns.subspan(1)) {
        if (!columns.empty()) columns += column.blank_in_insert ? ", " : ",";
        columns += column.name;
        values += values.empty() ? "?" : ",?";
    }
    return "insert into " + std::string(table.name) + "(" + columns + ") values(" + values + ")";
}

std::string NewestKeyStatement(const StoreTable& table) {
    return "select max(" + std::string(table.key()) + ") as id from " + std::string(table.name);
}

}  // namespace tlx::billing
