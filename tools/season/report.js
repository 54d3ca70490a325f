"use strict";
// Sorts a table by the column whose header is clicked (or given Enter or Space): numbers
// as numbers, texts as texts; the same header again reverses the order. Rows of equal
// values keep the order they had.
(function () {
  var collator = new Intl.Collator(undefined, { sensitivity: "base" });

  // The values tolvane-roster dump writes: decimals, and inf, -inf, nan for the rest.
  function number(text) {
    var t = text.trim();
    if (t === "inf") return Infinity;
    if (t === "-inf") return -Infinity;
    var n = Number(t);
    return t === "" || isNaN(n) ? NaN : n;
  }

  function compareNumbers(a, b) {
    var aNaN = isNaN(a), bNaN = isNaN(b);
    if (aNaN || bNaN) return aNaN === bNaN ? 0 : aNaN ? 1 : -1;
    return a < b ? -1 : a > b ? 1 : 0;
  }

  function sortBy(table, header, column) {
    var numeric = header.getAttribute("data-type") === "num";
    var descending = header.getAttribute("aria-sort") === "ascending";
    var cells = header.parentNode.cells;
    for (var i = 0; i < cells.length; i++) cells[i].removeAttribute("aria-sort");
    header.setAttribute("aria-sort", descending ? "descending" : "ascending");
    var body = table.tBodies[0];
    var rows = Array.prototype.slice.call(body.rows);
    var keyed = rows.map(function (row, index) {
      var text = row.cells[column] ? row.cells[column].textContent : "";
      return { key: numeric ? number(text) : text, index: index, row: row };
    });
    keyed.sort(function (a, b) {
      var c = numeric ? compareNumbers(a.key, b.key) : collator.compare(a.key, b.key);
      if (descending && !(numeric && (isNaN(a.key) || isNaN(b.key)))) c = -c;
      return c || a.index - b.index;
    });
    var fragment = document.createDocumentFragment();
    keyed.forEach(function (k) { fragment.appendChild(k.row); });
    body.appendChild(fragment);
  }

  document.addEventListener("click", function (event) {
    var header = event.target.closest("table.sortable thead th");
    if (header) sortBy(header.closest("table"), header, header.cellIndex);
  });
  document.addEventListener("keydown", function (event) {
    if (event.key !== "Enter" && event.key !== " ") return;
    var header = event.target.closest && event.target.closest("table.sortable thead th");
    if (!header) return;
    event.preventDefault();
    sortBy(header.closest("table"), header, header.cellIndex);
  });
})();
