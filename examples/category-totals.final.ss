/*
 * category-totals.final.ss: runs once, after the last record, for
 * category-totals.ss. It turns the sums in cents into currency values and
 * computes the average stock value per product, rounded to the cent.
 *
 * Run (from the repository root):
 *
 *   build/strand run --init-file examples/category-totals.init.ss \
 *       --final-file examples/category-totals.final.ss --print-globals \
 *       examples/category-totals.ss examples/products.csv > /dev/null
 */

@total_value := @total_cents / 100;

IF @records > 0 THEN
    /* (x + 0.5) % 1000000000 rounds x to a whole number of cents */
    @average_value := ((@total_cents / @records + 0.5) % 1000000000) / 100;
ELSE
    @average_value := 0;
END IF;

@hardware_value := @hardware_cents / 100;
@kitchenware_value := @kitchenware_cents / 100;
@garden_value := @garden_cents / 100;
@office_value := @office_cents / 100;
@electrical_value := @electrical_cents / 100;
@paint_decor_value := @paint_decor_cents / 100;
@other_value := @other_cents / 100;
