#pragma once

#include "app/Common.h"

class ProductBase;

// The table of products: thumbnail, name, category, installed version, status,
// the row's buttons and a link to the product page. It owns none of the products.
class ListProductView : public juce::Component,
                        public juce::TableListBoxModel,
                        public juce::Button::Listener,
                        public juce::ChangeListener
{
public:
    enum ColumnIds
    {
        thumbnailColumn = 1,
        nameColumn = 2,
        categoryColumn = 3,
        versionColumn = 4,
        statusColumn = 5,
        buttonsColumn = 8,
        productPageColumn = 9
    };

    ListProductView();
    ~ListProductView() override;

    void setProducts (juce::Array<ProductBase*>* newProducts);
    void sortByName();

    // Refreshes this view's table, then each bundle view down the chain.
    void refreshBundleViews (bool repaint);

    void resized() override;

    int getNumRows() override;
    void paintRowBackground (juce::Graphics& g, int rowNumber, int width, int height, bool rowIsSelected) override;
    void paintCell (juce::Graphics& g, int rowNumber, int columnId, int width, int height, bool rowIsSelected) override;
    juce::Component* refreshComponentForCell (int rowNumber, int columnId, bool isRowSelected, juce::Component* existingComponentToUpdate) override;
    void sortOrderChanged (int newSortColumnId, bool isForwards) override;

    void buttonClicked (juce::Button* button) override;
    void changeListenerCallback (juce::ChangeBroadcaster* source) override;

    juce::TableListBox table;
    juce::Array<ProductBase*>* products = nullptr;
    std::unique_ptr<ListProductView> bundleView;

private:
    ProductBase* getProduct (int row) const;
    int findRowOfInstaller (const juce::ChangeBroadcaster* installer) const;
    void openBundle (int row);

    // Takes this view and the bundle views below it off their download workers' listener lists.
    void stopListeningToInstallers();

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (ListProductView)
};
