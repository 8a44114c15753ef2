/*
 * category-totals.init.ss: runs once, before the first record, for
 * category-totals.ss. It starts the counters. Globals (@) keep their values
 * from one record to the next; init and final scripts see only globals.
 *
 * Run (from the repository root):
 *
 *   build/strand run --init-file examples/category-totals.init.ss \
 *       --final-file examples/category-totals.final.ss --print-globals \
 *       examples/category-totals.ss examples/products.csv > /dev/null
 */

@records := 0;          /* products seen */
@out_of_stock := 0;     /* products with quantity 0 */
@total_cents := 0;      /* stock value of all products, in cents */

/* stock value per category, in cents */
@hardware_cents := 0;
@kitchenware_cents := 0;
@garden_cents := 0;
@office_cents := 0;
@electrical_cents := 0;
@paint_decor_cents := 0;
@other_cents := 0;
