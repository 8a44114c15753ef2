/*
 * restock.ss: a manipulator. It adds four columns to every product record:
 *
 *   stock_value  unit_price times quantity on hand, in currency units
 *   reorder      'urgent' when nothing is left, 'soon' below 10 units, else 'no'
 *   shipping     'freight' above 20 kg, 'parcel' up to 20 kg, 'unknown' when
 *                the weight column is empty
 *   label        sku, name and reorder flag in one text, e.g. "00421: Pro rake [soon]"
 *
 * Run it from the repository root (after `make build`):
 *
 *   build/strand run examples/restock.ss examples/products.csv
 *   build/strand run examples/restock.ss examples/products.jsonl -o /tmp/restock.jsonl
 *   build/strand run --no-infer examples/restock.ss examples/products.csv -o /tmp/restock.csv
 *
 * --no-infer keeps every CSV field as the text it was (a sku such as 00421 keeps
 * its leading zeros, a price 12.50 its two decimals); the arithmetic below reads
 * such texts as numbers either way.
 */

#low_stock := 10;       /* script locals (#) live only while one record runs */
#freight_kg := 20;

/*
 * Money is counted in whole cents so that the products print without binary
 * fractions (4.07 * 333 would otherwise give 1355.3100000000002). The %
 * operator works on whole numbers, so (x + 0.5) % 1000000000 rounds a positive
 * x below one thousand million to the nearest whole number.
 */
#cents := (unit_price * 100 + 0.5) % 1000000000;
stock_value := #cents * quantity / 100;

IF quantity = 0 THEN
    reorder := 'urgent';
ELSIF quantity < #low_stock THEN
    reorder := 'soon';
ELSE
    reorder := 'no';
END IF;

/* An empty CSV field and a JSON null both count as "no weight". */
IF weight_kg IS DEFINED AND weight_kg != '' THEN
    IF weight_kg > #freight_kg THEN
        shipping := 'freight';
    ELSE
        shipping := 'parcel';
    END IF;
ELSE
    shipping := 'unknown';
END IF;

label := sku . ': ' . name . ' [' . reorder . ']';
