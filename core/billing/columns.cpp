#include "core/billing/columns.h"

namespace tlx::billing {

std::string SchemaOf(int first, int last) {
    std::string sql = first == 1 ? "PRAGMA journal_mode = WAL;\n" : "";
    std::vector<StoreTable> tables;
    for (const StoreTable& table : kStoreTables) {
        if (table.edition >= first && table.edition <= last) tables.push_back(table);
    }
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
    // The edition's row goes in its table whether this schema makes it or an earlier one did.
    for (const StoreTable& table : kStoreTables) {
        if (!table.edition_row || last < table.edition) continue;
        sql += "INSERT INTO " + std::string(table.name) + "(" + std::string(table[0]) +
               ") VALUES (" + std::to_string(last) + ");\n";
    }
    return sql;
}

std::string StatementOn(const StoreTable& table, std::string_view pattern,
                        std::initializer_list<std::size_t> columns) {
    std::string sql;
    std::size_t at = 0;
    for (std::size_t open; (open = pattern.find('{', at)) != std::string_view::npos;) {
        const std::size_t close = pattern.find('}', open);
        if (close == std::string_view::npos) break;
        sql += pattern.substr(at, open - at);
        const std::string_view inside = pattern.substr(open + 1, close - open - 1);
        std::size_t n = 0;
        for (char c : inside) n = n * 10 + static_cast<std::size_t>(c - '0');
        if (inside.empty()) {
            sql += table.name;
        } else if (inside.find_first_not_of("0123456789") == std::string_view::npos &&
                   n < columns.size() && columns.begin()[n] < table.columns.size()) {
            sql += table[columns.begin()[n]];
        } else {
            sql += pattern.substr(open, close - open + 1);  // as it is: SQLite refuses it
        }
        at = close + 1;
    }
    return sql += pattern.substr(at);
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
