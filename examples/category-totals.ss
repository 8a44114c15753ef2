/*
 * category-totals.ss: counts products and adds up their stock value (unit
 * price times quantity) across all records, in total and per category, in
 * globals (@names) that persist from one record to the next. The records
 * themselves pass through unchanged (the value is kept in the script local
 * #cents, which is not written out). It needs the counters that
 * category-totals.init.ss starts; category-totals.final.ss turns the sums
 * into averages and currency values.
 *
 * Run it from the repository root (after `make build`):
 *
 *   build/strand run --init-file examples/category-totals.init.ss \
 *       --final-file examples/category-totals.final.ss --print-globals \
 *       examples/category-totals.ss examples/products.csv > /dev/null
 *
 * The globals are printed as one JSON object on standard error; the records
 * on standard output are discarded.
 */

/* Stock value in whole cents: (x + 0.5) % 1000000000 rounds x (see restock.ss). */
#cents := ((unit_price * 100 + 0.5) % 1000000000) * quantity;

@records := @records + 1;
@total_cents := @total_cents + #cents;

IF quantity = 0 THEN
    @out_of_stock := @out_of_stock + 1;
END IF;

IF category = 'Hardware' THEN
    @hardware_cents := @hardware_cents + #cents;
ELSIF category = 'Kitchenware' THEN
    @kitchenware_cents := @kitchenware_cents + #cents;
ELSIF category = 'Garden' THEN
    @garden_cents := @garden_cents + #cents;
ELSIF category = 'Office' THEN
    @office_cents := @office_cents + #cents;
ELSIF category = 'Electrical' THEN
    @electrical_cents := @electrical_cents + #cents;
ELSIF category = 'Paint & Decor' THEN
    @paint_decor_cents := @paint_decor_cents + #cents;
ELSE
    @other_cents := @other_cents + #cents;
END IF;
