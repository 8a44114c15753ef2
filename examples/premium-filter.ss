/*
 * premium-filter.ss: a filter. Its last statement is a condition, and with
 * --filter only the records for which it is true are written: products that
 * cost more than 100, belong to a category whose name ends in "ware"
 * (Hardware, Kitchenware) and are in stock. LIKE ignores the case of A to Z;
 * % stands for any run of characters and _ for one character.
 *
 * Run it from the repository root (after `make build`):
 *
 *   build/strand run --filter examples/premium-filter.ss examples/products.csv
 *   build/strand run --filter examples/premium-filter.ss examples/products.csv \
 *       -o /tmp/premium.csv --fail /tmp/not-premium.csv
 *
 * The second form keeps the records that do not pass in /tmp/not-premium.csv
 * instead of dropping them.
 */

#threshold := 100;

unit_price > #threshold AND category LIKE '%ware' AND quantity > 0;
